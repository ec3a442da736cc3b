// Each carved format's unit on real files (made at build time by ImageMagick, zipfile, lame and
// by hand): where the file ends, in blocks of any size, and what breaks it.
#include <gtest/gtest.h>

#include "engine/carving/ExifDate.h"
#include "tests/support/CarvingSamples.h"

namespace salvoran::test {
namespace {

using carving::CheckOutcome;

class CarvedSampleTest : public testing::TestWithParam<std::string> {};

// Behind the file: slack of zeros, then unrelated data.
TEST_P(CarvedSampleTest, EndsWhereItsStructureEndsWhateverTheBlockSize) {
  const SampleBytes sample = ReadCarvingSample(GetParam());
  SampleBytes bytes = sample;
  bytes.resize(sample.size() + 3000);
  const SampleBytes after = RandomBytes(5000, 17);
  bytes.insert(bytes.end(), after.begin(), after.end());
  for (const size_t blockSize : {size_t{1}, size_t{5}, size_t{4096}, bytes.size()}) {
    const CheckResult result = RunFormatCheck(bytes, blockSize);
    ASSERT_EQ(result.Outcome, CheckOutcome::Complete) << "blocks of " << blockSize;
    EXPECT_EQ(result.Length, sample.size()) << "blocks of " << blockSize;
    EXPECT_EQ(result.Extension, ExtensionOf(GetParam()));
  }
}

// A file cut short is never taken whole: at most as a shorter file complete in itself (an MP3's
// frames up to the cut, a PDF up to an earlier "%%EOF").
TEST_P(CarvedSampleTest, CutShortIsNeverTakenWhole) {
  const SampleBytes sample = ReadCarvingSample(GetParam());
  for (const size_t keep : {sample.size() / 3, sample.size() * 2 / 3, sample.size() - 2}) {
    const CheckResult result = RunFormatCheck(ByteView(sample).first(keep), 4096);
    if (result.Outcome == CheckOutcome::Complete) {
      EXPECT_LT(result.Length, keep) << "cut to " << keep;
      EXPECT_TRUE(GetParam().ends_with(".mp3") || GetParam().ends_with(".pdf")) << "cut to " << keep;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, CarvedSampleTest, testing::ValuesIn(CarvingSampleNames()), [](const auto& info) {
  std::string name = info.param;
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
  return name;
});

// A cluster in the middle overwritten with other data: formats whose content is checked (CRCs,
// inflated entries, entropy-coded data) never take a file that holds it. (GIF's LZW data, BMP's
// pixels, the samples of WAV, AVI, MP4 and MP3 frames, PDF's streams are not looked into.)
TEST(CarvedFormatsTest, OverwrittenClusterIsNeverInsideACheckedFile) {
  constexpr size_t ClusterBytes = 4096;
  for (const char* name : {"picture.png", "archive.zip", "report.docx", "letter.odt", "book.epub", "streamed.zip",
                           "photo-exif.jpg", "progressive.jpg"}) {
    SampleBytes sample = ReadCarvingSample(name);
    const size_t overwritten = sample.size() / 2 / ClusterBytes * ClusterBytes;
    const SampleBytes other = RandomBytes(ClusterBytes, 99);
    std::copy(other.begin(),
              other.begin() + static_cast<std::ptrdiff_t>(std::min(ClusterBytes, sample.size() - overwritten)),
              sample.begin() + static_cast<std::ptrdiff_t>(overwritten));
    const CheckResult result = RunFormatCheck(sample, 4096);
    if (result.Outcome == CheckOutcome::Complete) {
      EXPECT_LE(result.Length, overwritten) << name;
    }
  }
}

// Random data that happens to start with a format's signature is no file.
TEST(CarvedFormatsTest, RandomDataBehindASignatureIsNoFile) {
  for (const carving::CarvedFormat& format : carving::CarvedFormats()) {
    for (uint32_t seed = 0; seed < 64; ++seed) {
      SampleBytes bytes = RandomBytes(64 << 10, seed);
      for (const carving::Signature& signature : format.Signatures) {
        for (size_t i = 0; i < signature.Bytes.size(); ++i)
          bytes[signature.Offset + i] = static_cast<std::byte>(signature.Bytes[i]);
      }
      const CheckResult result = RunFormatCheck(bytes, 4096);
      EXPECT_NE(result.Outcome, CheckOutcome::Complete) << format.Name << " seed " << seed;
    }
  }
}

TEST(CarvedFormatsTest, PhotoKeepsTheDateItWasTaken) {
  const SampleBytes photo = ReadCarvingSample("photo-exif.jpg");
  const CheckResult result = RunFormatCheck(photo, 4096);
  ASSERT_TRUE(result.Check->ContentTime());
  const CivilDateTime taken = *result.Check->ContentTime();
  EXPECT_EQ(std::tie(taken.Year, taken.Month, taken.Day, taken.Hour, taken.Minute, taken.Second),
            std::make_tuple(2021, 6, 13, 14, 22, 5));
  EXPECT_FALSE(RunFormatCheck(ReadCarvingSample("progressive.jpg"), 4096).Check->ContentTime());
}

// An APP1 body with a DateTimeOriginal of the given text, big-endian TIFF.
SampleBytes ExifWithDate(std::string_view date) {
  std::string body("Exif\0\0MM\0\x2A\0\0\0\x08", 14);
  body += std::string("\0\x01\x87\x69\0\x04\0\0\0\x01\0\0\0\x1A\0\0\0\0", 18);  // IFD0 at 8: EXIF IFD at 26
  body += std::string("\0\x01\x90\x03\0\x02\0\0\0\x14\0\0\0\x2C\0\0\0\0", 18);  // EXIF IFD: date at 44
  body += std::string(date) + '\0';
  SampleBytes bytes(body.size());
  std::transform(body.begin(), body.end(), bytes.begin(), [](char c) { return static_cast<std::byte>(c); });
  return bytes;
}

TEST(CarvedFormatsTest, ExifDateMustBeARealDay) {
  const auto taken = carving::ExifDateTimeOriginal(ExifWithDate("2019:12:31 23:59:58"));
  ASSERT_TRUE(taken);
  EXPECT_EQ(std::tie(taken->Year, taken->Month, taken->Day, taken->Second), std::make_tuple(2019, 12, 31, 58));
  for (const char* date : {"0000:00:00 00:00:00", "2019:02:30 10:00:00", "2019:12:31 24:00:00", "    :  :     :  :  "})
    EXPECT_FALSE(carving::ExifDateTimeOriginal(ExifWithDate(date))) << date;
  EXPECT_FALSE(carving::ExifDateTimeOriginal(ByteView(ExifWithDate("2019:12:31 23:59:58")).first(40)));
}

}  // namespace
}  // namespace salvoran::test
