#include "core/sha256.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tarnwell {
namespace {

std::string Digest(Sha256::Compressor compress, std::string_view bytes, size_t split) {
  Sha256 sha(compress);
  sha.Update(bytes.substr(0, split));
  sha.Update(bytes.substr(split));
  return sha.HexDigest();
}

// The processor's SHA instructions give the digests the plain C++ gives, for every length
// around the block and padding edges, whole or in two pieces, and for a recorded track's
// length; both give the published digests.
TEST(Sha256, TheProcessorsInstructionsGiveThePlainDigests) {
  const Sha256::Compressor processor = ProcessorSha256Compressor();
  if (processor == nullptr) GTEST_SKIP() << "this processor has no SHA instructions";
  std::mt19937 random(7);
  std::string bytes;
  for (size_t length = 0; length <= 300; ++length) {
    for (const size_t split : {size_t{0}, length / 2, length}) {
      EXPECT_EQ(Digest(processor, bytes, split), Digest(CompressSha256Portably, bytes, split))
          << length << " bytes split at " << split;
    }
    bytes += static_cast<char>(random());
  }
  std::string track(7200, '\0');
  for (char& c : track) c = static_cast<char>(random());
  EXPECT_EQ(Digest(processor, track, 4000), Digest(CompressSha256Portably, track, 0));

  for (const Sha256::Compressor compress : {processor, &CompressSha256Portably}) {
    EXPECT_EQ(Digest(compress, "abc", 1), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Digest(compress, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 20),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Digest(compress, std::string(1000000, 'a'), 999),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  }
}

}  // namespace
}  // namespace tarnwell
