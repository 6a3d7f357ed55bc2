#pragma once
// Events are two words: the object a handler is bound to and a code pointer.
// Bind<&TForm1::HandleClick>(this) makes one without allocating; two events
// can be compared by their code alone (SameCode), which the timer pool needs.

#include <utility>

namespace forms {

class TObject;

template <typename Signature>
class TEvent;

template <typename R, typename... Args>
class TEvent<R(Args...)> {
public:
    using Code = R (*)(void* data, Args... args);

    constexpr TEvent() = default;
    constexpr TEvent(void* data, Code code) : FData(data), FCode(code) {}

    explicit operator bool() const { return FCode != nullptr; }
    R operator()(Args... args) const { return FCode(FData, std::forward<Args>(args)...); }

    void* Data() const { return FData; }
    Code CodePointer() const { return FCode; }
    bool SameCode(const TEvent& other) const { return FCode == other.FCode; }
    bool operator==(const TEvent& other) const = default;

private:
    void* FData = nullptr;
    Code FCode = nullptr;
};

namespace detail {
template <typename T>
struct MemberFunction;
template <typename C, typename R, typename... A>
struct MemberFunction<R (C::*)(A...)> {
    using Class = C;
    using Signature = R(A...);
};
template <typename C, typename R, typename... A>
struct MemberFunction<R (C::*)(A...) noexcept> {
    using Class = C;
    using Signature = R(A...);
};

template <auto Method, typename C, typename R, typename... A>
TEvent<R(A...)> BindMethod(C* object, R (*)(A...)) {
    return TEvent<R(A...)>(object, [](void* data, A... args) -> R {
        return (static_cast<C*>(data)->*Method)(std::forward<A>(args)...);
    });
}
}  // namespace detail

// Binds a member function to an object: Bind<&TKamdropForm::HandleFileFound>(this).
template <auto Method>
auto Bind(typename detail::MemberFunction<decltype(Method)>::Class* object) {
    using Traits = detail::MemberFunction<decltype(Method)>;
    return detail::BindMethod<Method>(object, static_cast<typename Traits::Signature*>(nullptr));
}

using TNotifyEvent = TEvent<void(TObject* Sender)>;

}  // namespace forms
