#pragma once
// The keyboard-lock state shown by the status bar lamps (NumLock, CapsLock,
// Insert) and toggled by a click on a lamp. It goes through one replaceable
// object so that tests can script the states and see the toggles.
#include <memory>

namespace cn {

enum class LockKey { NumLock, CapsLock, Insert };

class KeyboardLocks {
public:
    virtual ~KeyboardLocks() = default;
    virtual bool isOn(LockKey key) = 0;
    virtual void toggle(LockKey key) = 0;
};

// The object in use. By default: on X11 the server's lock state read and
// changed through the keyboard extension; the Insert mode, and every key where
// the platform reports nothing, kept by the program itself (a press of the key
// or a click on the lamp switches it).
KeyboardLocks& keyboardLocks();
void setKeyboardLocks(std::unique_ptr<KeyboardLocks> k);   // nullptr restores the default

// A test double: plain states, each toggle counted.
class ScriptedKeyboardLocks : public KeyboardLocks {
public:
    bool isOn(LockKey key) override { return on_[index(key)]; }
    void toggle(LockKey key) override { on_[index(key)] = !on_[index(key)]; ++toggles_[index(key)]; }
    void set(LockKey key, bool on) { on_[index(key)] = on; }
    int toggles(LockKey key) const { return toggles_[index(key)]; }

private:
    static int index(LockKey k) { return static_cast<int>(k); }
    bool on_[3] = {false, false, false};
    int toggles_[3] = {0, 0, 0};
};

} // namespace cn
