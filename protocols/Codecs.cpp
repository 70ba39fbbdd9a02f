// The codec table. A built-in decoder is one file of its own (TestCodec.cpp,
// HaltenRs.cpp, KugooM.cpp) and one line here, at its place in the list.
#include "protocols/Codecs.h"

#include <vector>

namespace protocols {

namespace {

constexpr ProtocolInfo kNoSelectionInfo{.index = kNoProtocol};

// Nothing selected: no frame is read, shown or sent, and a run goes on
// with simulation as ticked, whose worker then ends at once. Soft start
// and EBS still patch where Halten RS has them.
class NoSelection final : public Codec {
public:
    NoSelection() : Codec(kNoSelectionInfo) {}

    std::optional<int> PublishSingleRead(std::span<const std::uint8_t>, RxFrameSpan, RxFrameSpan) const override {
        return std::nullopt;
    }

    void Patch(Setting setting, OutFrameSpan frame, int value) const override {
        if (setting == Setting::SoftStart || setting == Setting::Ebs) HaltenRsCodec().Patch(setting, frame, value);
    }
};

std::vector<const Codec*>& Table() {
    static std::vector<const Codec*> table{&TestCodec(), &HaltenRsCodec(), &KugooMCodec()};
    return table;
}

}  // namespace

std::span<const Codec* const> Codecs() { return Table(); }

const Codec& CodecAt(int index) {
    static const NoSelection none;
    const std::vector<const Codec*>& table = Table();
    if (index < 0 || static_cast<std::size_t>(index) >= table.size()) return none;
    return *table[static_cast<std::size_t>(index)];
}

int RegisterCodec(const Codec& codec) {
    Table().push_back(&codec);
    return static_cast<int>(Table().size()) - 1;
}

const Codec& CaptureCodec() {
    for (const Codec* codec : Codecs()) {
        if (codec->Info().capture) return *codec;
    }
    return CodecAt(kNoProtocol);
}

}  // namespace protocols
