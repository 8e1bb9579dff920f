// indi_brask: the INDI driver program. libindidriver's main() reads the
// server's messages on standard input and calls these entry points on its
// one loop thread; each goes to the one device object, made on first use
// so that nothing starts before the loop runs.
#include <libindi/indidevapi.h>

#include "tools/indi_brask/BraskDriver.h"

namespace {

vorlant::indi::BraskDriver& driver() {
    static vorlant::indi::BraskDriver instance;
    return instance;
}

}  // namespace

extern "C" {

void ISGetProperties(const char* dev) {
    driver().getProperties(dev);
}

void ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n) {
    driver().newSwitch(dev, name, states, names, n);
}

void ISNewNumber(const char* dev, const char* name, double values[], char* names[], int n) {
    driver().newNumber(dev, name, values, names, n);
}

void ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) {
    driver().newText(dev, name, texts, names, n);
}

void ISNewBLOB(const char*, const char*, int[], int[], char*[], char*[], char*[], int) {}

void ISSnoopDevice(XMLEle*) {}

}  // extern "C"
