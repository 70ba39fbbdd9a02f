#include "tools/kmsim/TestController.h"

#include "protocols/Codecs.h"
#include "tools/kmsim/ControllerSide.h"

namespace kmsim {

namespace {

class TestFrames final : public ControllerFrames {
public:
    std::vector<std::uint8_t> Next(std::uint64_t index, const RideSample&, std::uint8_t) override {
        return TestPatternFrame(index);
    }
};

// No display frames: the test decoder sends none.
class TestSide final : public ControllerSide {
public:
    const protocols::Codec& Codec() const override { return protocols::TestCodec(); }

    std::string_view Help() const override {
        return R"(        test    a counting byte stream in 15-byte frames at 1200 bit/s;
                bytes from the reader are only counted.
)";
    }

    std::unique_ptr<ControllerFrames> NewFrames(std::uint64_t) const override { return std::make_unique<TestFrames>(); }
};

}  // namespace

std::vector<std::uint8_t> TestPatternFrame(std::uint64_t index) {
    std::vector<std::uint8_t> f(kTestFrameLength);
    for (std::size_t i = 0; i < f.size(); ++i) f[i] = static_cast<std::uint8_t>(index * kTestFrameLength + i);
    return f;
}

const ControllerSide& TestControllerSide() {
    static const TestSide side;
    return side;
}

}  // namespace kmsim
