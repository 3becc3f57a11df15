#include "app/keyboard.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#if __has_include(<xcb/xkb.h>) && __has_include(<QtGui/qguiapplication_platform.h>)
#include <QtGui/qguiapplication_platform.h>
#if QT_CONFIG(xcb)
#define CN_KEYBOARD_X11 1
#include <dlfcn.h>
#include <xcb/xcb.h>
// The C header names a structure member `explicit`.
#define explicit xcb_explicit
#include <xcb/xkb.h>
#undef explicit
#include <cstdlib>
#endif
#endif

namespace cn {

namespace {

// The lock states the program keeps itself: Insert always, NumLock and
// CapsLock where the platform tells nothing.
bool ownState[3] = {false, false, false};

int slot(LockKey k) { return static_cast<int>(k); }

// Follows the lock keys as the user presses them, so the program's own states
// match what the user did on the keyboard.
class LockKeyWatcher : public QObject {
public:
    explicit LockKeyWatcher(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* obj, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        // A key event travels from the focus widget up its parents, and each
        // stop passes through here: count it at its first receiver only.
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w)
            return false;
        QWidget* first = QApplication::focusWidget();
        if (!first)
            first = w->window();
        if (w != first)
            return false;
        auto* ke = static_cast<QKeyEvent*>(e);
        if (ke->isAutoRepeat())
            return false;
        switch (ke->key()) {
        case Qt::Key_Insert: ownState[slot(LockKey::Insert)] = !ownState[slot(LockKey::Insert)]; break;
        case Qt::Key_NumLock: ownState[slot(LockKey::NumLock)] = !ownState[slot(LockKey::NumLock)]; break;
        case Qt::Key_CapsLock: ownState[slot(LockKey::CapsLock)] = !ownState[slot(LockKey::CapsLock)]; break;
        default: break;
        }
        return false;
    }
};

#ifdef CN_KEYBOARD_X11
// The X server's modifier locks through the keyboard extension. The xcb
// libraries are the ones the platform plugin has already loaded; when the
// program runs on another platform they are not there and nothing is used.
class X11Locks {
public:
    static std::unique_ptr<X11Locks> open()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        if (!x11 || !x11->connection())
            return nullptr;
        auto p = std::unique_ptr<X11Locks>(new X11Locks);
        p->conn_ = x11->connection();
        if (!p->resolve())
            return nullptr;
        auto cookie = p->useExtension_(p->conn_, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION);
        auto* reply = p->useExtensionReply_(p->conn_, cookie, nullptr);
        const bool supported = reply && reply->supported;
        std::free(reply);
        if (!supported)
            return nullptr;
        p->numMask_ = p->findNumLockMask();
        return p;
    }

    ~X11Locks()
    {
        if (xcbLib_)
            dlclose(xcbLib_);
        if (xkbLib_)
            dlclose(xkbLib_);
    }

    // The locked modifiers, or -1 when the server did not answer.
    int lockedMods()
    {
        auto* reply = getStateReply_(conn_, getState_(conn_, XCB_XKB_ID_USE_CORE_KBD), nullptr);
        if (!reply)
            return -1;
        const int mods = reply->lockedMods;
        std::free(reply);
        return mods;
    }

    uint8_t mask(LockKey k) const { return k == LockKey::CapsLock ? uint8_t(XCB_MOD_MASK_LOCK) : numMask_; }

    void setLocked(uint8_t mask, bool on)
    {
        latchLockState_(conn_, XCB_XKB_ID_USE_CORE_KBD, mask, on ? mask : 0, 0, 0, 0, 0, 0);
        flush_(conn_);
    }

private:
    X11Locks() = default;

    template <class F>
    bool sym(void* lib, const char* name, F& f)
    {
        f = reinterpret_cast<F>(dlsym(lib, name));
        return f != nullptr;
    }

    bool resolve()
    {
        xcbLib_ = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
        xkbLib_ = dlopen("libxcb-xkb.so.1", RTLD_LAZY | RTLD_NOLOAD);
        if (!xcbLib_ || !xkbLib_)
            return false;
        return sym(xkbLib_, "xcb_xkb_use_extension", useExtension_)
            && sym(xkbLib_, "xcb_xkb_use_extension_reply", useExtensionReply_)
            && sym(xkbLib_, "xcb_xkb_get_state", getState_)
            && sym(xkbLib_, "xcb_xkb_get_state_reply", getStateReply_)
            && sym(xkbLib_, "xcb_xkb_latch_lock_state", latchLockState_)
            && sym(xcbLib_, "xcb_flush", flush_)
            && sym(xcbLib_, "xcb_get_setup", getSetup_)
            && sym(xcbLib_, "xcb_get_keyboard_mapping", getKeyboardMapping_)
            && sym(xcbLib_, "xcb_get_keyboard_mapping_reply", getKeyboardMappingReply_)
            && sym(xcbLib_, "xcb_get_keyboard_mapping_keysyms", keyboardMappingKeysyms_)
            && sym(xcbLib_, "xcb_get_modifier_mapping", getModifierMapping_)
            && sym(xcbLib_, "xcb_get_modifier_mapping_reply", getModifierMappingReply_)
            && sym(xcbLib_, "xcb_get_modifier_mapping_keycodes", modifierMappingKeycodes_);
    }

    // NumLock is not a fixed modifier: find the modifier bit whose keys
    // include the Num_Lock key symbol (Mod2 on nearly every keyboard map).
    uint8_t findNumLockMask()
    {
        constexpr xcb_keysym_t kNumLock = 0xff7f;
        uint8_t result = XCB_MOD_MASK_2;
        const xcb_setup_t* setup = getSetup_(conn_);
        if (!setup || setup->max_keycode < setup->min_keycode)
            return result;
        const int minKey = setup->min_keycode;
        const int count = setup->max_keycode - minKey + 1;
        auto* km = getKeyboardMappingReply_(conn_, getKeyboardMapping_(conn_, setup->min_keycode, uint8_t(count)), nullptr);
        auto* mm = getModifierMappingReply_(conn_, getModifierMapping_(conn_), nullptr);
        if (km && mm) {
            const int per = km->keysyms_per_keycode;
            const xcb_keysym_t* syms = keyboardMappingKeysyms_(km);
            const int symCount = int(km->length);      // in 4-byte units: one per keysym
            const int perMod = mm->keycodes_per_modifier;
            const xcb_keycode_t* codes = modifierMappingKeycodes_(mm);
            bool done = false;
            for (int mod = 0; mod < 8 && !done; ++mod) {
                for (int j = 0; j < perMod && !done; ++j) {
                    const int kc = codes[mod * perMod + j];
                    if (kc < minKey || kc >= minKey + count)
                        continue;
                    for (int s = 0; s < per; ++s) {
                        const int at = (kc - minKey) * per + s;
                        if (at < symCount && syms[at] == kNumLock) {
                            result = uint8_t(1u << mod);
                            done = true;
                            break;
                        }
                    }
                }
            }
        }
        std::free(km);
        std::free(mm);
        return result;
    }

    xcb_connection_t* conn_ = nullptr;
    void* xcbLib_ = nullptr;
    void* xkbLib_ = nullptr;
    uint8_t numMask_ = XCB_MOD_MASK_2;

    xcb_xkb_use_extension_cookie_t (*useExtension_)(xcb_connection_t*, uint16_t, uint16_t) = nullptr;
    xcb_xkb_use_extension_reply_t* (*useExtensionReply_)(xcb_connection_t*, xcb_xkb_use_extension_cookie_t, xcb_generic_error_t**) = nullptr;
    xcb_xkb_get_state_cookie_t (*getState_)(xcb_connection_t*, xcb_xkb_device_spec_t) = nullptr;
    xcb_xkb_get_state_reply_t* (*getStateReply_)(xcb_connection_t*, xcb_xkb_get_state_cookie_t, xcb_generic_error_t**) = nullptr;
    xcb_void_cookie_t (*latchLockState_)(xcb_connection_t*, xcb_xkb_device_spec_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t, uint16_t) = nullptr;
    int (*flush_)(xcb_connection_t*) = nullptr;
    const xcb_setup_t* (*getSetup_)(xcb_connection_t*) = nullptr;
    xcb_get_keyboard_mapping_cookie_t (*getKeyboardMapping_)(xcb_connection_t*, xcb_keycode_t, uint8_t) = nullptr;
    xcb_get_keyboard_mapping_reply_t* (*getKeyboardMappingReply_)(xcb_connection_t*, xcb_get_keyboard_mapping_cookie_t, xcb_generic_error_t**) = nullptr;
    xcb_keysym_t* (*keyboardMappingKeysyms_)(const xcb_get_keyboard_mapping_reply_t*) = nullptr;
    xcb_get_modifier_mapping_cookie_t (*getModifierMapping_)(xcb_connection_t*) = nullptr;
    xcb_get_modifier_mapping_reply_t* (*getModifierMappingReply_)(xcb_connection_t*, xcb_get_modifier_mapping_cookie_t, xcb_generic_error_t**) = nullptr;
    xcb_keycode_t* (*modifierMappingKeycodes_)(const xcb_get_modifier_mapping_reply_t*) = nullptr;
};
#endif

class SystemKeyboardLocks : public KeyboardLocks {
public:
    SystemKeyboardLocks()
    {
        // One watcher per application, however often the default is re-made.
        static QPointer<LockKeyWatcher> watcher;
        if (auto* app = QCoreApplication::instance(); app && !watcher) {
            watcher = new LockKeyWatcher(app);
            app->installEventFilter(watcher);
        }
#ifdef CN_KEYBOARD_X11
        x11_ = X11Locks::open();
#endif
    }

    bool isOn(LockKey key) override
    {
#ifdef CN_KEYBOARD_X11
        if (x11_ && key != LockKey::Insert) {
            const int mods = x11_->lockedMods();
            if (mods >= 0)
                return (mods & x11_->mask(key)) != 0;
        }
#endif
        return ownState[slot(key)];
    }

    void toggle(LockKey key) override
    {
#ifdef CN_KEYBOARD_X11
        if (x11_ && key != LockKey::Insert) {
            const int mods = x11_->lockedMods();
            if (mods >= 0) {
                const uint8_t m = x11_->mask(key);
                x11_->setLocked(m, (mods & m) == 0);
                return;
            }
        }
#endif
        ownState[slot(key)] = !ownState[slot(key)];
    }

private:
#ifdef CN_KEYBOARD_X11
    std::unique_ptr<X11Locks> x11_;
#endif
};

std::unique_ptr<KeyboardLocks>& current()
{
    static std::unique_ptr<KeyboardLocks> k;
    return k;
}

} // namespace

KeyboardLocks& keyboardLocks()
{
    auto& k = current();
    if (!k)
        k = std::make_unique<SystemKeyboardLocks>();
    return *k;
}

void setKeyboardLocks(std::unique_ptr<KeyboardLocks> k) { current() = std::move(k); }

} // namespace cn
