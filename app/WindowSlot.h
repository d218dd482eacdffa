// One window of the program, built the first time something uses it and kept from
// then on, so that the start pays only for the main window. Copies of a slot share the
// one window, also a slot of a base class made from a slot of the window's own class.
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

// What the copies of a slot share, whatever class they see the window as.
struct WindowSlotState {
    std::function<QWidget*()> build;
    QPointer<QWidget> window;
    std::vector<std::function<void(QWidget*)>> whenBuilt;
};

template <typename T> class WindowSlot
{
    template <typename> friend class WindowSlot;

public:
    WindowSlot() = default;
    explicit WindowSlot(std::function<T*()> build) : m_state(std::make_shared<WindowSlotState>())
    {
        m_state->build = [build = std::move(build)]() -> QWidget* { return build(); };
    }
    template <typename Derived>
    requires std::is_base_of_v<T, Derived> WindowSlot(const WindowSlot<Derived>& other)
        : m_state(other.m_state)
    {
    }

    // The window, built now when it does not exist yet; null for an empty slot and once
    // the window has been destroyed with its owner.
    T* get() const
    {
        if (!m_state)
            return nullptr;
        if (auto build = std::exchange(m_state->build, nullptr)) {
            m_state->window = build();
            for (const auto& hook : std::exchange(m_state->whenBuilt, {}))
                hook(m_state->window);
        }
        return static_cast<T*>(m_state->window.data());
    }
    T* operator->() const { return get(); }
    operator T*() const { return get(); }

    bool isBuilt() const { return m_state && !m_state->build; }

    // Runs `hook` on the window as soon as it is built: now, when it already is.
    void whenBuilt(std::function<void(T*)> hook) const
    {
        if (!m_state)
            return;
        if (isBuilt()) {
            if (T* window = get())
                hook(window);
            return;
        }
        m_state->whenBuilt.push_back([hook = std::move(hook)](QWidget* w) { hook(static_cast<T*>(w)); });
    }

private:
    std::shared_ptr<WindowSlotState> m_state;
};
