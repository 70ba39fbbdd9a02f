#include "tools/kmsim/StatusText.h"

#include <cstdio>

#include "protocols/FrameText.h"
#include "tools/kmsim/ControllerSide.h"

namespace kmsim {

namespace {

const char* OnOff(bool on) { return on ? "on" : "off"; }
int Flag(bool on) { return on ? 1 : 0; }

std::string GearText(const DisplaySettings& s) {
    if (s.gearPosition >= 0) return std::to_string(s.gearPosition);
    char text[16];
    std::snprintf(text, sizeof text, "?(%02X)", s.gearCode);
    return text;
}

std::string_view StepText(CounterStep step) {
    switch (step) {
        case CounterStep::First:
            return "first";
        case CounterStep::Next:
            return "next";
        case CounterStep::Repeat:
            return "repeat";
        case CounterStep::Gap:
            return "gap";
        case CounterStep::None:
            break;
    }
    return "";
}

}  // namespace

std::string_view ProtocolName(int protocol) { return protocols::Protocol(protocol).name; }

std::string HexLine(std::span<const std::uint8_t> bytes) {
    std::string text = protocols::HexBytes(bytes);
    if (!text.empty()) text.pop_back();
    return text;
}

std::string SettingsText(const DisplaySettings& s) {
    std::string text = "gear=" + GearText(s) + " zero-start=" + std::to_string(Flag(s.zeroStart)) +
                       " cruise=" + std::to_string(Flag(s.cruise)) +
                       " soft-start=" + std::to_string(Flag(s.softStart)) + " max-speed=" + std::to_string(s.maxSpeed) +
                       " ebs=" + std::to_string(s.ebs);
    if (s.maxPower) text += " max-power=" + std::to_string(*s.maxPower);
    if (s.throttle) text += " throttle=" + std::to_string(*s.throttle);
    return text;
}

std::string DisplayFrameLogLine(const DisplayFrame& frame) {
    std::string line = "rx " + HexLine(frame.bytes) + " | ";
    if (!frame.checksumOk) return line + "checksum-error";
    if (frame.settings.counter) {
        char counter[8];
        std::snprintf(counter, sizeof counter, "%02X", *frame.settings.counter);
        line += "counter=" + std::string(counter) + " step=" + std::string(StepText(frame.step));
        if (frame.step == CounterStep::Gap) line += " missed=" + std::to_string(frame.missed);
        line += " ";
    }
    return line + SettingsText(frame.settings);
}

std::string LineStateText(const StatusSnapshot& s) {
    const std::string speeds = "line " + (s.lineSpeed > 0 ? std::to_string(s.lineSpeed) : std::string("?")) +
                               " bit/s, controller " + std::to_string(s.controllerSpeed) + " bit/s";
    switch (s.state) {
        case LineState::Frames:
            return "sending at " + std::to_string(s.controllerSpeed) + " bit/s";
        case LineState::Garbled:
            return speeds + ": sending the frames garbled as read at the line's speed";
        case LineState::Filler:
            return speeds + ": sending 0xFF filler";
        case LineState::Mute:
            return speeds + ": sending nothing";
        case LineState::PortClosed:
            return "port closed by the reader: sending nothing";
        case LineState::Silenced:
            return "silent (frame limit of --silence-after reached)";
        case LineState::Unplugged:
            return "unplugged: line hung up, COM" + std::to_string(s.port) + " removed";
    }
    return "";
}

std::string StatusLine(const StatusSnapshot& s) {
    const DisplayStats& d = s.display;
    std::string line = "COM" + std::to_string(s.port) + " " + std::string(ProtocolName(s.protocol)) + ": " +
                       LineStateText(s) + " | sent " + std::to_string(s.framesSent) + " | display " +
                       std::to_string(d.frames) + " ok, " + std::to_string(d.checksumErrors) + " bad";
    if (const ControllerSide* side = SideAt(s.protocol); side && side->Display().counter) {
        line += ", " + std::to_string(d.counterGaps) + " gaps (" + std::to_string(d.missedFrames) + " missed)";
    }
    if (!s.settings) return line + " | no settings yet";
    const DisplaySettings& st = *s.settings;
    line += " | gear " + GearText(st) + ", max speed " + std::to_string(st.maxSpeed);
    if (st.maxPower) line += ", max power " + std::to_string(*st.maxPower);
    line += ", EBS " + std::to_string(st.ebs) + ", zero start " + OnOff(st.zeroStart) + ", cruise " + OnOff(st.cruise) +
            ", soft start " + OnOff(st.softStart);
    if (st.throttle) line += ", throttle " + std::to_string(*st.throttle);
    return line;
}

std::string SummaryLine(const StatusSnapshot& s) {
    const DisplayStats& d = s.display;
    std::string line =
        "summary protocol=" + std::string(ProtocolName(s.protocol)) + " port=COM" + std::to_string(s.port) +
        " frames-sent=" + std::to_string(s.framesSent) + " display-frames=" + std::to_string(d.frames) +
        " checksum-errors=" + std::to_string(d.checksumErrors) + " counter-gaps=" + std::to_string(d.counterGaps) +
        " missed-frames=" + std::to_string(d.missedFrames) + " repeats=" + std::to_string(d.repeats) +
        " skipped-bytes=" + std::to_string(d.skippedBytes);
    return line + " " + (s.settings ? SettingsText(*s.settings) : std::string("settings=none"));
}

}  // namespace kmsim
