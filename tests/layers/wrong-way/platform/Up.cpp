#include "bank/Fine.h" // a lower layer reaching up
#include "platform/Base.h"
