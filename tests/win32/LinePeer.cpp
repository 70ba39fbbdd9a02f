#include "tests/win32/LinePeer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

namespace zonter_test {

namespace {

std::mutex g_peerMutex;

std::vector<std::uint8_t> FromHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

}  // namespace

std::string& LinePeer::PortName() {
    static std::string name = "COM5";
    return name;
}

void LinePeer::TakePortArgument(int argc, char** argv) {
    const std::string flag = "--port=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind(flag, 0) == 0) PortName() = arg.substr(flag.size());
    }
}

std::string LinePeer::Ask(const std::string& command) {
    std::lock_guard<std::mutex> hold(g_peerMutex);
    std::fflush(stdout);
    std::cout << "@@peer " << command << std::endl;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        ADD_FAILURE() << "no answer from the peer to: " << command;
        return {};
    }
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == '\n')) answer.pop_back();
    if (answer == "ok") return {};
    if (answer.rfind("ok ", 0) == 0) return answer.substr(3);
    ADD_FAILURE() << "peer: " << answer << " (to: " << command << ")";
    return {};
}

std::vector<std::uint8_t> LinePeer::Receive(std::size_t n, int ms) {
    return FromHex(Ask("recv " + std::to_string(n) + " " + std::to_string(ms)));
}

int LinePeer::Pending() {
    const std::string answer = Ask("pending");
    return answer.empty() ? -1 : std::stoi(answer);
}

int LinePeer::Unread() {
    const std::string answer = Ask("unread");
    return answer.empty() ? -1 : std::stoi(answer);
}

LinePeer::CpuTimes LinePeer::Cpu() {
    std::istringstream answer(Ask("cpu"));
    CpuTimes t;
    answer >> t.process >> t.server;
    return t;
}

bool LinePeer::WaitPending(int count, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (Pending() == count) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool LinePeer::WaitUnread(int count, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (Unread() >= count) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::string LinePeer::Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char two[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        text += two;
    }
    return text;
}

}  // namespace zonter_test
