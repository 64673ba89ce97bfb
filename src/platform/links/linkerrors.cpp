#include "platform/links/linkerrors.h"
