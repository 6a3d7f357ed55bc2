#include <gtest/gtest.h>

#include "runtime/SysUtils.h"
#include "library/JpegImage.h"

namespace {

TEST(JpegImageTest, DataThatIsNoJpegFailsWithTheDecodersMessage) {
    const unsigned char gif[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
    const struct {
        const unsigned char* data;
        size_t size;
        const wchar_t* message;
    } cases[] = {{gif, sizeof gif, L"Not a JPEG file: starts with 0x47 0x49"}, {gif, 0, L"Empty input file"}};
    for (const auto& each : cases) {
        try {
            library::DecodeJpeg(each.data, each.size);
            ADD_FAILURE() << "no error for " << each.size << " bytes";
        } catch (const forms::Exception& error) {
            EXPECT_EQ(error.Message(), each.message);
        }
    }
}

}  // namespace
