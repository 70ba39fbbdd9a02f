#include "ui/ConnectTexts.h"

#include "platform/PortDescription.h"
#include "platform/PortNames.h"

namespace ui {

namespace {

// "COMn", the device it stands for unless that is only COMn again (as on
// Windows), and the name the system gives the adapter, if any.
std::string PortText(const linkcore::ConnectOutcome& outcome, unsigned n) {
    const std::string com = platform::ComName(n);
    const std::string& device = outcome.device;
    const bool ownName =
        device.size() >= com.size() && device.compare(device.size() - com.size(), com.size(), com) == 0;
    std::string text = com;
    if (!ownName) text += " = " + device;
    const std::string friendly = platform::PortFriendlyName(n);
    if (!friendly.empty()) text += (ownName ? ": " : ", ") + friendly;
    return text;
}

}  // namespace

std::string ConnectHint(const linkcore::ConnectOutcome& outcome, unsigned n) {
    const std::string com = platform::ComName(n);
    if (outcome.noAnswer) return com + ": " + res::kNoAnswer;
    // Linux names ports through a folder of links and the dialout group;
    // Windows has neither, so its hints say nothing of them.
    const std::string folder = platform::PortDirectory();
    if (outcome.device.empty()) {
        if (folder.empty()) return com + " не найден: такого последовательного порта нет";
        return com + " не найден: нет ни ссылки " + com + " в " + folder +
               ", ни последовательного порта с этим номером";
    }
    const std::string port = PortText(outcome, n);
    if (outcome.opened) {
        if (outcome.settingsError != 0) return port + ": настройки не приняты (" + outcome.settingsReason + ")";
        return port;
    }
    const std::string reason = outcome.systemReason.empty() ? std::string() : " (" + outcome.systemReason + ")";
    switch (outcome.error) {
        case platform::OpenError::NotFound:
            return port + ": такого порта нет" + reason;
        case platform::OpenError::AccessDenied:
            if (folder.empty()) return port + ": нет доступа, порт может быть занят другой программой" + reason;
            return port + ": нет прав" + reason +
                   ". Добавьте пользователя в группу dialout "
                   "(sudo usermod -aG dialout $USER) и войдите в систему заново.";
        case platform::OpenError::Busy:
            return port + ": порт занят другой программой" + reason;
        default:
            return port + ": порт не открывается" + reason;
    }
}

}  // namespace ui
