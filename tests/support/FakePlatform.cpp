#include "FakePlatform.h"

namespace kolvix::test {

FakePlatform::FakePlatform()
{
    setPlatform(this);
}

FakePlatform::~FakePlatform()
{
    setPlatform(nullptr);
}

} // namespace kolvix::test
