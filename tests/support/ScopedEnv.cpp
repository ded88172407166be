#include "support/ScopedEnv.h"

#include <cstdlib>

namespace brimlow::test {

void ScopedEnv::Save(const std::string& name)
{
    const char* old = std::getenv(name.c_str());
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
}

void ScopedEnv::Set(const std::string& name, const std::string& value)
{
    Save(name);
    ::setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnv::Unset(const std::string& name)
{
    Save(name);
    ::unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv()
{
    // Latest first, so a variable changed twice ends as it was before the first change.
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second)
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            ::unsetenv(it->first.c_str());
    }
}

}  // namespace brimlow::test
