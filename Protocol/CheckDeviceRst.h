#pragma once
#include "Protocol/NetBaseRst.h"

// The answer to the device-status check: its status is the whole answer.
class CheckDeviceRst : public NetBaseRst {};
