#include "ui/DialogNotify.h"

#include "platform/Platform.h"

namespace vorlant {

namespace {

struct Registry {
    platform::Lock lock;
    DialogWindow* dialog = nullptr;
};

Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

void setActiveDialog(DialogWindow* dialog) {
    Registry& r = registry();
    platform::LockGuard guard(r.lock);
    r.dialog = dialog;
}

void notifyDialog(uint32_t wParam, int32_t lParam) {
    Registry& r = registry();
    platform::LockGuard guard(r.lock);
    if (r.dialog != nullptr) r.dialog->postToWindow(wParam, lParam);
}

}  // namespace vorlant
