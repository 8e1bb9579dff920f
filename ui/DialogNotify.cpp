#include "ui/DialogNotify.h"

#include <mutex>

namespace vorlant {

namespace {

struct Registry {
    std::mutex lock;
    DialogWindow* dialog = nullptr;
};

Registry& registry() {
    static Registry r;
    return r;
}

}  // namespace

void setActiveDialog(DialogWindow* dialog) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.dialog = dialog;
}

void notifyDialog(uint32_t wParam, int32_t lParam) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    if (r.dialog != nullptr) r.dialog->postToWindow(wParam, lParam);
}

}  // namespace vorlant
