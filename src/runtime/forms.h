#pragma once

#include <stdexcept>
#include <utility>

#include <QPointer>
#include <QWidget>

// Each form exists at most once: it is loaded by load() (which runs its
// onLoad) and lives until it is unloaded.
namespace forms {

template <class F>
QPointer<F>& slot()
{
    static QPointer<F> instance;
    return instance;
}

// The loaded form, or nullptr.
template <class F>
F* loaded()
{
    return slot<F>().data();
}

// The form, loading it first when needed (its onLoad runs then); `made`
// goes to its constructor.
template <class F, class... Made>
F& load(Made&&... made)
{
    QPointer<F>& instance = slot<F>();
    if (!instance) {
        instance = new F(std::forward<Made>(made)...);
        if constexpr (requires(F& f) { f.onLoad(); })
            instance->onLoad();
    }
    return *instance;
}

// The loaded form. Looking a form up never loads it: asking for one that is
// not loaded is a fault of the program.
template <class F>
F& get()
{
    F* form = loaded<F>();
    if (!form)
        throw std::logic_error("a form was asked for before it was loaded");
    return *form;
}

// Unloads the form: it disappears at once and the next reference loads a new
// one. Deletion waits for the event loop, because a handler may unload its
// own form and go on running.
template <class F>
void unload()
{
    QPointer<F>& instance = slot<F>();
    if (!instance)
        return;
    F* form = instance.data();
    instance = nullptr;
    form->hide();
    form->deleteLater();
}

// Enabling a form that is not loaded does nothing (it is not loaded for it).
template <class F>
void setEnabled(bool enabled)
{
    if (F* form = loaded<F>())
        form->setEnabled(enabled);
}

} // namespace forms
