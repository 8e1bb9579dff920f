#include "ui/qt/QtPortList.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QSignalBlocker>
#include <QStyle>
#include <QVariant>
#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/SerialPort.h"
#include "ui/qt/QtDialogControls.h"

namespace vorlant {

std::vector<platform::SerialDevice> systemSerialDevices() {
    std::vector<platform::SerialDevice> devices;
    std::set<std::string> nodes;
    const auto add = [&](const platform::SerialDevice& device) {
        if (nodes.insert(device.node).second) devices.push_back(device);
    };
    const char* extra = std::getenv("VORLANT_EXTRA_PORTS");
    const std::string paths = extra != nullptr ? extra : "";
    for (std::size_t start = 0; start <= paths.size();) {
        std::size_t end = paths.find(':', start);
        if (end == std::string::npos) end = paths.size();
        if (end > start) add(platform::describeSerialDevice(paths.substr(start, end - start)));
        start = end + 1;
    }
    for (const platform::SerialDevice& device : platform::discoverSerialDevices()) add(device);
    return devices;
}

std::string portEntryText(const platform::SerialDevice& device) {
    return device.name + " (" + device.node + ")";
}

void QtPortList::refresh(QComboBox& combo) {
    const int selected = combo.currentIndex();
    const std::string previous =
        selected >= 0 && static_cast<std::size_t>(selected) < devices_.size() ? devices_[selected].path : "";
    const std::size_t previousCount = devices_.size();

    devices_ = source_ ? source_() : std::vector<platform::SerialDevice>();
    if (devices_.size() > kMaxEntries) devices_.resize(kMaxEntries);

    // Numbers the list no longer has lead nowhere the user chose.
    for (std::size_t i = 0; i < devices_.size(); ++i)
        platform::setPortDevice(static_cast<int>(i) + 1, devices_[i].path);
    for (std::size_t i = devices_.size(); i < previousCount; ++i)
        platform::setPortDevice(static_cast<int>(i) + 1, "");

    const QSignalBlocker blocker(&combo);
    combo.clear();
    int select = devices_.empty() ? -1 : 0;
    int widest = 0;
    const QFontMetrics metrics(combo.view()->font());
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        const platform::SerialDevice& device = devices_[i];
        const QString text = QString::fromStdString(portEntryText(device));
        combo.addItem(text);
        // The closed box is narrow: it names the device node alone.
        combo.setItemData(static_cast<int>(i), QString::fromStdString(device.node), kClosedTextRole);
        if (device.path != device.node)
            combo.setItemData(static_cast<int>(i), QString::fromStdString(device.path), Qt::ToolTipRole);
        if (!previous.empty() && device.path == previous) select = static_cast<int>(i);
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    combo.setPlaceholderText(QStringLiteral("No serial device found"));
    combo.setCurrentIndex(select);
    const int margins =
        4 * metrics.averageCharWidth() + combo.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    combo.view()->setMinimumWidth(std::max(combo.width(), widest + margins));
}

}  // namespace vorlant
