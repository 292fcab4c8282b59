#pragma once
#include <type_traits>
#include <utility>

namespace TestUtil
{

// Sets a hook or a variable for the guard's lifetime and puts the old value
// back however the scope is left. The type comes from the target alone, so
// a lambda can be handed to a std::function hook directly:
//     ScopedOverride hook(Properties::dialogHook(), [](PropertiesDialog& d) { d.reject(); });
template <typename T> class [[nodiscard]] ScopedOverride
{
public:
    ScopedOverride(T& target, std::type_identity_t<T> value)
        : m_target(target), m_saved(std::exchange(target, std::move(value)))
    {
    }
    ~ScopedOverride() { m_target = std::move(m_saved); }
    ScopedOverride(const ScopedOverride&) = delete;
    ScopedOverride& operator=(const ScopedOverride&) = delete;

private:
    T& m_target;
    T m_saved;
};

} // namespace TestUtil
