#pragma once
// Environment variables set or removed for a scope; the scope's end puts back what was there.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brimlow::test {

class ScopedEnv {
public:
    ScopedEnv() = default;
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void Set(const std::string& name, const std::string& value);
    void Unset(const std::string& name);

private:
    void Save(const std::string& name);
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace brimlow::test
