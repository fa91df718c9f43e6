#include "platform/Base.h"
