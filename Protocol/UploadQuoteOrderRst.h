#pragma once
#include "Platform/Base/Value.h"
#include "Protocol/NetBaseRst.h"

// The server's answer to an order upload: one id-mapping object per order it took.
class UploadQuoteOrderRst : public NetBaseRst {
public:
    base::Array orderIdUpdateArray;
};
