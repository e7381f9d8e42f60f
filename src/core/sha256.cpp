#include "core/sha256.h"

#include <algorithm>
#include <array>
#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define TARNWELL_SHA_INSTRUCTIONS 1
#endif

namespace tarnwell {

namespace {

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::array<uint32_t, 8> kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr uint32_t Rotr(uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

void CompressBlock(std::array<uint32_t, 8>& h, const unsigned char* block) {
  std::array<uint32_t, 64> w{};
  for (int i = 0; i < 16; ++i) {
    w[i] = (uint32_t{block[4 * i]} << 24) | (uint32_t{block[4 * i + 1]} << 16) |
           (uint32_t{block[4 * i + 2]} << 8) | uint32_t{block[4 * i + 3]};
  }
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t t1 =
        k + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    k = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += k;
}

#if TARNWELL_SHA_INSTRUCTIONS
// The same rounds with the SHA instructions: four rounds a step, the state held as ABEF
// and CDGH, the message schedule four words at a time (sha256msg1/msg2).
__attribute__((target("sha,sse4.1"))) void CompressWithInstructions(std::array<uint32_t, 8>& h,
                                                                    const unsigned char* blocks,
                                                                    size_t count) {
  const __m128i bigEndian = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h.data()));
  const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h.data() + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
  for (; count > 0; --count, blocks += 64) {
    const __m128i abefBefore = abef, cdghBefore = cdgh;
    __m128i w[4];  // the last four groups of four message words
    for (int g = 0; g < 16; ++g) {
      __m128i& group = w[g % 4];
      if (g < 4) {
        group =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * g)), bigEndian);
      } else {
        const __m128i before1 = w[(g + 3) % 4], before2 = w[(g + 2) % 4];
        group = _mm_sha256msg2_epu32(
            _mm_add_epi32(_mm_sha256msg1_epu32(group, w[(g + 1) % 4]), _mm_alignr_epi8(before1, before2, 4)),
            before1);
      }
      __m128i words =
          _mm_add_epi32(group, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound.data() + 4 * g)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);  // now the new ABEF
      words = _mm_shuffle_epi32(words, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, words);  // and both back in their places
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h.data()), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h.data() + 4), _mm_alignr_epi8(dchg, feba, 8));
}

// Asked once, when the first digest is made: a processor's instructions do not change.
bool ProcessorHasShaInstructions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_SSE4_1) == 0) return false;
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
  return (b & bit_SHA) != 0;
}
#endif

}  // namespace

void CompressSha256Portably(std::array<uint32_t, 8>& state, const unsigned char* blocks, size_t count) {
  for (size_t i = 0; i < count; ++i) CompressBlock(state, blocks + 64 * i);
}

Sha256::Compressor ProcessorSha256Compressor() {
#if TARNWELL_SHA_INSTRUCTIONS
  static const bool usable = ProcessorHasShaInstructions();
  if (usable) return CompressWithInstructions;
#endif
  return nullptr;
}

Sha256::Sha256() : Sha256(ProcessorSha256Compressor()) {}

Sha256::Sha256(Compressor compress)
    : compress_(compress != nullptr ? compress : CompressSha256Portably), h_(kInitialState) {}

void Sha256::Update(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t size = bytes.size();
  total_ += size;
  if (pending_ > 0) {
    const size_t take = std::min(size, size_t{64} - pending_);
    for (size_t i = 0; i < take; ++i) block_[pending_ + i] = data[i];
    pending_ += take;
    data += take;
    size -= take;
    if (pending_ < 64) return;
    compress_(h_, block_.data(), 1);
    pending_ = 0;
  }
  const size_t whole = size / 64 * 64;
  if (whole > 0) compress_(h_, data, whole / 64);
  for (size_t i = whole; i < size; ++i) block_[pending_++] = data[i];
}

std::string Sha256::HexDigest() const {
  std::array<uint32_t, 8> h = h_;
  std::array<unsigned char, 128> tail{};
  for (size_t i = 0; i < pending_; ++i) tail[i] = block_[i];
  tail[pending_] = 0x80;
  const size_t tailLength = pending_ + 9 <= 64 ? 64 : 128;
  const uint64_t bits = total_ * 8;
  for (int i = 0; i < 8; ++i) tail[tailLength - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
  compress_(h, tail.data(), tailLength / 64);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(64);
  for (uint32_t word : h) {
    for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(word >> shift) & 0xF];
  }
  return out;
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 sha;
  sha.Update(bytes);
  return sha.HexDigest();
}

}  // namespace tarnwell
