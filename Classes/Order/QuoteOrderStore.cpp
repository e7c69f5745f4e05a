#include "Classes/Order/QuoteOrderStore.h"

#include "Platform/Base/RunLoop.h"

#include <cassert>

namespace {

std::shared_ptr<QuoteOrderStore>& sharedSlot()
{
    static std::shared_ptr<QuoteOrderStore> slot;
    return slot;
}

} // namespace

std::shared_ptr<QuoteOrderStore> QuoteOrderStore::sharedQuoteOrderStore()
{
    assert(base::RunLoop::isMainThread());
    auto& slot = sharedSlot();
    if (!slot)
        slot = std::make_shared<QuoteOrderStore>();
    return slot;
}

void QuoteOrderStore::freeInstance()
{
    assert(base::RunLoop::isMainThread());
    sharedSlot().reset();
}
