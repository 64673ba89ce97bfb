#pragma once
#include "platform/sqlite.h"
