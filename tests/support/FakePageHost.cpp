#include "support/FakePageHost.h"

#include "host/frmRefreshingCache.h"

namespace brimlow::test {

FakePageHost::FakePageHost() : progress(std::make_unique<frmRefreshingCache>()) {}
FakePageHost::~FakePageHost() = default;

}  // namespace brimlow::test
