#pragma once
#include "Platform/Base/Value.h"
#include "Protocol/NetBaseRst.h"

// One page of the order history: the orders and their lines as the server keys them.
class GetOrderHistoryRst : public NetBaseRst {
public:
    base::Array orderHistoryArray;
    base::Array orderItemHistoryArray;
};
