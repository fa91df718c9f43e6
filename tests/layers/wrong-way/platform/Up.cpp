#include "platform/Base.h"
#include "bank/Fine.h" // a lower layer reaching up
