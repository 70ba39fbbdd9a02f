// The controller sides of the codec table's protocols: a built-in one is a
// file of its own and one line here.
#include "tools/kmsim/ControllerSide.h"

#include "protocols/Codecs.h"

namespace kmsim {

namespace {

std::vector<const ControllerSide*>& Sides() {
    static std::vector<const ControllerSide*> sides{&TestControllerSide(), &HaltenControllerSide(),
                                                    &KugooControllerSide()};
    return sides;
}

}  // namespace

DisplaySettings ControllerSide::DecodeDisplay(std::span<const std::uint8_t>) const { return {}; }

const ControllerSide* SideAt(int index) {
    const protocols::Codec& codec = protocols::CodecAt(index);
    for (const ControllerSide* side : Sides()) {
        if (&side->Codec() == &codec) return side;
    }
    return nullptr;
}

std::optional<int> ProtocolNamed(std::string_view name) {
    const auto codecs = protocols::Codecs();
    for (std::size_t i = 0; i < codecs.size(); ++i) {
        const int index = static_cast<int>(i);
        if (codecs[i]->Info().name == name && SideAt(index)) return index;
    }
    return std::nullopt;
}

std::vector<std::string_view> ProtocolNames() {
    std::vector<std::string_view> names;
    const auto codecs = protocols::Codecs();
    for (std::size_t i = 0; i < codecs.size(); ++i) {
        if (SideAt(static_cast<int>(i))) names.push_back(codecs[i]->Info().name);
    }
    return names;
}

void RegisterControllerSide(const ControllerSide& side) { Sides().push_back(&side); }

}  // namespace kmsim
