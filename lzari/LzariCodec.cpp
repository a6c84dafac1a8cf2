#include "lzari/LzariCodec.h"

#include <cstring>

#include "lzari/LzariPort.h"

using lzari_port::LeadingZeros32;
using lzari_port::LeadingZeros64;
using lzari_port::LoadBigEndian64;

CLzariCodec::CLzariCodec()
    : m_pIn(nullptr),
      m_pOut(nullptr),
      m_pSink(nullptr),
      m_nTextSize(0),
      m_nCodeSize(0),
      m_nMatchPos(0),
      m_nMatchLen(0),
      m_nLow(0),
      m_nHigh(RANGE_TOP),
      m_nValue(0),
      m_nShifts(0),
      m_nFreqTotal(0),
      m_pPosOfValue(nullptr),
      m_nBitBuf(0),
      m_nBitCount(0),
      m_nBitsFed(0),
      m_nBitLimit(NO_LIMIT),
      m_pInNext(nullptr),
      m_pInEnd(nullptr),
      m_nInBytes(0),
      m_nInLimit(NO_LIMIT),
      m_bInEof(false),
      m_nOutUsed(0),
      m_bTruncated(false),
      m_bBadEnd(false),
      m_bReadError(false),
      m_bWriteError(false)
{
    // The encoder may compare ring bytes that its input never wrote (inputs
    // shorter than 119 bytes); a fixed fill keeps its output a function of
    // the input alone.
    std::memset(m_text, 0, sizeof m_text);
}

CLzariCodec::~CLzariCodec()
{
    m_pIn = nullptr;
    m_pOut = nullptr;
}

CLzariCodec::Status CLzariCodec::GetStatus() const
{
    if (m_bReadError)
        return STATUS_READ_ERROR;
    if (m_bWriteError)
        return STATUS_WRITE_ERROR;
    if (m_bTruncated)
        return STATUS_TRUNCATED;
    if (m_bBadEnd)
        return STATUS_BAD_END;
    return STATUS_OK;
}

// ---------------------------------------------------------------- bit I/O

void CLzariCodec::FillInput()
{
    if (m_bInEof)
        return;
    const uint64_t left = m_nInLimit - m_nInBytes;
    const size_t want = left < IN_BUF_SIZE ? static_cast<size_t>(left) : size_t(IN_BUF_SIZE);
    const size_t n = want > 0 ? std::fread(m_inBuf, 1, want, m_pIn) : 0;
    if (n > 0) {
        m_pInNext = m_inBuf;
        m_pInEnd = m_inBuf + n;
        m_nInBytes += n;
        return;
    }
    if (std::ferror(m_pIn))
        m_bReadError = true;
    m_bInEof = true;
    // Past the end every bit reads as 1. The encoder writes FINAL_BITS after
    // the range's last doubling, and the decoder takes START_BITS before the
    // first, so a decoder that has taken more than this many bits is past
    // any stream that fits: the stream is cut, and no later bit can mend it.
    const uint64_t codeBytes = m_nInBytes >= 4 ? m_nInBytes - 4 : 0;
    m_nBitLimit = m_bReadError ? 0 : codeBytes * 8 + START_BITS - FINAL_BITS;
}

void CLzariCodec::RefillBits()
{
    if (m_pInEnd - m_pInNext >= 8) {
        // As many whole bytes as fit, in one load. The part of a byte that
        // also lands in the buffer is the same bits the next refill puts
        // there, so it does no harm.
        m_nBitBuf |= LoadBigEndian64(m_pInNext) >> m_nBitCount;
        const int bytes = (63 - m_nBitCount) >> 3;
        m_pInNext += bytes;
        m_nBitCount += bytes * 8;
        m_nBitsFed += static_cast<uint64_t>(bytes) * 8;
        return;
    }
    while (m_nBitCount <= 56) {
        uint32_t b;
        if (m_pInNext != m_pInEnd) {
            b = *m_pInNext++;
        } else {
            FillInput();
            b = m_pInNext != m_pInEnd ? *m_pInNext++ : 0xFF;
        }
        m_nBitBuf |= static_cast<uint64_t>(b) << (56 - m_nBitCount);
        m_nBitCount += 8;
        m_nBitsFed += 8;
    }
}

inline uint32_t CLzariCodec::GetBits(int count)
{
    if (m_nBitCount < count)
        RefillBits();
    const uint32_t v = static_cast<uint32_t>(m_nBitBuf >> (64 - count));
    m_nBitBuf <<= count;
    m_nBitCount -= count;
    return v;
}

// The decoder's value never leaves [low, high), whatever its input (every
// step keeps it there), so it has taken every code bit as the encoder of the
// same codes would have written it: a renormalising step shifts out a bit
// that low and high - 1 share, or, deferred, one that is the opposite of the
// value's top bit. After D doublings that encoder has written D - P bits (P
// deferred), then closes with bit b (0 when low < RANGE_Q1, else 1), P + 1
// bits !b and zeros to the byte's end: ceil((D + 2) / 8) code bytes. In the
// value, the top bit is code bit D - P (which must be b; the deferred bits
// after it are !b by the above) and bits 15..0 are code bits D + 1.., which
// hold the rest of the closing bits and the padding.
void CLzariCodec::CheckStreamEnd()
{
    const uint64_t doublings = BitsConsumed() - START_BITS;
    const uint64_t codeBits = (doublings + FINAL_BITS + 7) / 8 * 8;
    // The decoder has taken at least 8 bits past that end. If they came
    // from the input, the input goes on after the stream.
    if (!m_bInEof) {
        m_bBadEnd = true;
        return;
    }
    const uint64_t inputBits = (m_nInBytes - 4) * 8;
    if (inputBits < codeBits || (InputLimited() && m_nInBytes < m_nInLimit)) {
        m_bTruncated = true;
        return;
    }
    if (inputBits > codeBits) {
        m_bBadEnd = true;
        return;
    }
    const uint32_t b = m_nLow < RANGE_Q1 ? 0 : 1;
    const int tail = static_cast<int>(codeBits - doublings - 1);  // code bits D + 1 .. end: 1 to 8
    const uint32_t expected = (b << tail) | ((b ^ 1) << (tail - 1));
    if (m_nValue >> (16 - tail) != expected)
        m_bBadEnd = true;
}

void CLzariCodec::FlushOutput()
{
    if (m_nOutUsed == 0)
        return;
    const size_t n = std::fwrite(m_outBuf, 1, static_cast<size_t>(m_nOutUsed), m_pOut);
    m_nCodeSize += static_cast<uint32_t>(n);
    if (n != static_cast<size_t>(m_nOutUsed))
        m_bWriteError = true;  // those bytes are lost; the run goes on
    m_nOutUsed = 0;
}

bool CLzariCodec::Emit(const unsigned char* data, size_t size)
{
    if (m_pSink)
        return m_pSink->Write(data, size);
    return std::fwrite(data, 1, size, m_pOut) == size;
}

inline void CLzariCodec::PutBits(uint32_t bits, int count)
{
    // Fewer than 32 bits wait in the buffer, so count more still fit.
    m_nBitBuf = (m_nBitBuf << count) | bits;
    m_nBitCount += count;
    if (m_nBitCount >= 32) {
        if (m_nOutUsed > OUT_BUF_SIZE - 4)
            FlushOutput();
        const uint32_t word = static_cast<uint32_t>(m_nBitBuf >> (m_nBitCount - 32));
        unsigned char* out = m_outBuf + m_nOutUsed;
        out[0] = static_cast<unsigned char>(word >> 24);
        out[1] = static_cast<unsigned char>(word >> 16);
        out[2] = static_cast<unsigned char>(word >> 8);
        out[3] = static_cast<unsigned char>(word);
        m_nOutUsed += 4;
        m_nBitCount -= 32;
    }
}

void CLzariCodec::WriteBit(int bit)
{
    PutBits(static_cast<uint32_t>(bit & 1), 1);
}

void CLzariCodec::PutRepeated(int bit, int count)
{
    while (count > 0) {
        const int n = count < 24 ? count : 24;
        PutBits(bit ? (1u << n) - 1 : 0, n);
        count -= n;
    }
}

void CLzariCodec::FlushBits()
{
    // Zero bits up to the byte boundary; a whole byte adds nothing.
    const int pad = (8 - (m_nBitCount & 7)) & 7;
    if (pad)
        PutBits(0, pad);
    while (m_nBitCount >= 8) {
        if (m_nOutUsed == OUT_BUF_SIZE)
            FlushOutput();
        m_nBitCount -= 8;
        m_outBuf[m_nOutUsed++] = static_cast<unsigned char>(m_nBitBuf >> m_nBitCount);
    }
    FlushOutput();
}

// ----------------------------------------------------------------- models

namespace {

// The position model never changes: one table maps each value of its range
// straight to the position whose interval holds it.
struct PositionTable {
    uint16_t pos[CLzariCodec::POS_TOTAL];
    PositionTable()
    {
        uint32_t cum = 0;  // the running sum from position 4095 down
        for (int p = CLzariCodec::RING_SIZE - 1; p >= 0; --p) {
            const uint32_t width = 10000 / static_cast<uint32_t>(p + 201);
            for (uint32_t x = cum; x < cum + width; ++x)
                pos[x] = static_cast<uint16_t>(p);
            cum += width;
        }
    }
};

const uint16_t* PositionOfValue()
{
    static const PositionTable table;
    return table.pos;
}

}  // namespace

void CLzariCodec::InitModels()
{
    for (int sym = CHAR_CODE_COUNT; sym >= 1; --sym) {
        const int code = sym - 1;
        m_charToSym[code] = sym;
        m_symToChar[sym] = code;
        m_symFreq[sym] = 1;
    }
    m_symFreq[0] = 0;
    RebuildSymbolTree();

    m_posCum[RING_SIZE] = 0;
    for (int i = RING_SIZE; i >= 1; --i)
        m_posCum[i - 1] = m_posCum[i] + 10000 / (i + 200);
    m_pPosOfValue = PositionOfValue();
}

// The tree is indexed by SYM_TREE_SIZE - rank, so that its prefix sums are
// the cumulative counts (the sums over the ranks after a rank), and the
// frequent low ranks sit where an update takes few steps.
void CLzariCodec::RebuildSymbolTree()
{
    uint32_t total = 0;
    for (int t = 1; t < SYM_TREE_SIZE; ++t) {
        const int sym = SYM_TREE_SIZE - t;
        const uint32_t f = sym <= CHAR_CODE_COUNT ? m_symFreq[sym] : 0;
        m_symTree[t] = f;
        total += f;
    }
    m_symTree[0] = 0;
    for (int t = 1; t < SYM_TREE_SIZE; ++t) {
        const int parent = t + (t & -t);
        if (parent < SYM_TREE_SIZE)
            m_symTree[parent] += m_symTree[t];
    }
    m_nFreqTotal = total;
}

inline uint32_t CLzariCodec::CumAfter(int sym) const
{
    uint32_t sum = 0;
    for (size_t t = static_cast<size_t>(SYM_TREE_SIZE - 1 - sym); t > 0; t &= t - 1)
        sum += m_symTree[t];
    return sum;
}

void CLzariCodec::UpdateModel(int sym)
{
    UpdateModelInline(sym);
}

LZARI_ALWAYS_INLINE void CLzariCodec::UpdateModelInline(int sym)
{
    if (m_nFreqTotal >= MAX_FREQ_TOTAL) {
        // Halve, rounding up so that no frequency falls to 0.
        for (int i = CHAR_CODE_COUNT; i >= 1; --i)
            m_symFreq[i] = (m_symFreq[i] + 1) >> 1;
        RebuildSymbolTree();
    }
    // The code moves to the first rank of its frequency, so that the ranks
    // stay ordered by falling frequency. Frequencies fall with the rank:
    // step back a little, then halve the rest of the way.
    const uint32_t f = m_symFreq[sym];
    int i = sym;
    if (m_symFreq[i - 1] == f) {
        for (int n = 0; n < 8 && m_symFreq[i - 1] == f; ++n)
            --i;
        if (m_symFreq[i - 1] == f) {
            int lo = 1;  // the first rank of frequency f lies in [lo, i - 1]
            int hi = i - 1;
            while (lo < hi) {
                const int mid = (lo + hi) / 2;
                if (m_symFreq[mid] == f)
                    hi = mid;
                else
                    lo = mid + 1;
            }
            i = lo;
        }
        const int codeI = m_symToChar[i];
        const int codeSym = m_symToChar[sym];
        m_symToChar[i] = codeSym;
        m_symToChar[sym] = codeI;
        m_charToSym[codeSym] = i;
        m_charToSym[codeI] = sym;
    }
    m_symFreq[i] = f + 1;
    // Index t and the ones above it that cover it: t += lowest bit of t,
    // written on t - 1 as u |= u + 1.
    uint32_t* const tree = m_symTree + 1;
    for (size_t u = static_cast<size_t>(SYM_TREE_SIZE - 1 - i); u < SYM_TREE_SIZE - 1; u |= u + 1)
        ++tree[u];
    ++m_nFreqTotal;
}

// ------------------------------------------------------- arithmetic coder
//
// The coder's range is 17 bits. Renormalising one bit at a time, a step
// applies while low and high - 1 agree in their top bit (send that bit), or
// else while they read 01.. and 10.. (defer an opposite bit). Both kinds of
// step run in a row, the first kind before the second, so each is taken in
// one go here: the length of the common prefix of low and high - 1, then
// the run of 1 bits of low over 0 bits of high - 1 below the top bit.

LZARI_ALWAYS_INLINE void CLzariCodec::EncodeInterval(uint32_t cumAbove, uint32_t cumBelow, uint32_t total)
{
    const uint32_t range = m_nHigh - m_nLow;
    uint32_t high = m_nLow + range * cumAbove / total;
    uint32_t low = m_nLow + range * cumBelow / total;
    uint32_t top = high - 1;  // the interval is [low, top]

    const int same = LeadingZeros32(((low ^ top) << 15) | (1u << 14));  // 0..17
    if (same > 0) {
        // The common prefix goes out as it stands, with the deferred bits
        // (each the opposite of the prefix's first bit) after its first bit.
        const uint32_t bits = low >> (17 - same);
        const int shifts = m_nShifts;
        if (shifts == 0) {
            PutBits(bits, same);
        } else if (shifts + same <= 32) {
            const uint32_t first = bits >> (same - 1);
            const uint32_t rest = bits & ((1u << (same - 1)) - 1);
            const uint32_t deferred = first ? 0 : (1u << shifts) - 1;
            PutBits((first << (shifts + same - 1)) | (deferred << (same - 1)) | rest, shifts + same);
            m_nShifts = 0;
        } else {
            const uint32_t first = bits >> (same - 1);
            PutBits(first, 1);
            PutRepeated(!first, shifts);
            m_nShifts = 0;
            if (same > 1)
                PutBits(bits & ((1u << (same - 1)) - 1), same - 1);
        }
        low = (low << same) & (RANGE_TOP - 1);
        top = ((top << same) | ((1u << same) - 1)) & (RANGE_TOP - 1);
    }
    const int straddle = LeadingZeros32(~((low & ~top) << 16));  // 0..16
    if (straddle > 0) {
        m_nShifts += straddle;
        low = (low << straddle) & (RANGE_HALF - 1);
        top = (((top << straddle) | ((1u << straddle) - 1)) & (RANGE_HALF - 1)) | RANGE_HALF;
    }
    m_nLow = low;
    m_nHigh = top + 1;
}

void CLzariCodec::EncodeCharCode(int code)
{
    EncodeCharCodeInline(code);
}

LZARI_ALWAYS_INLINE void CLzariCodec::EncodeCharCodeInline(int code)
{
    const int sym = m_charToSym[code];
    const uint32_t cumSym = CumAfter(sym);
    EncodeInterval(cumSym + m_symFreq[sym], cumSym, m_nFreqTotal);
    UpdateModelInline(sym);
}

void CLzariCodec::EncodePosition(int pos)
{
    EncodeInterval(m_posCum[pos], m_posCum[pos + 1], m_posCum[0]);
}

void CLzariCodec::FinishEncoding()
{
    ++m_nShifts;
    const int bit = m_nLow < RANGE_Q1 ? 0 : 1;
    PutBits(static_cast<uint32_t>(bit), 1);
    PutRepeated(!bit, m_nShifts);
    m_nShifts = 0;
    FlushBits();
}

void CLzariCodec::StartDecoding()
{
    m_nValue = GetBits(17);
}

// The same steps as the encoder's, with the code value following low. On a
// stream the encoder made the value stays inside [low, high), so it shares
// the prefix that low and high - 1 share.
LZARI_ALWAYS_INLINE void CLzariCodec::DecodeRenormalise()
{
    uint32_t low = m_nLow;
    uint32_t top = m_nHigh - 1;
    uint32_t value = m_nValue;
    const int same = LeadingZeros32(((low ^ top) << 15) | (1u << 14));
    if (same > 0) {
        low = (low << same) & (RANGE_TOP - 1);
        top = ((top << same) | ((1u << same) - 1)) & (RANGE_TOP - 1);
        value = ((value << same) | GetBits(same)) & (RANGE_TOP - 1);
    }
    const int straddle = LeadingZeros32(~((low & ~top) << 16));
    if (straddle > 0) {
        low = (low << straddle) & (RANGE_HALF - 1);
        top = (((top << straddle) | ((1u << straddle) - 1)) & (RANGE_HALF - 1)) | RANGE_HALF;
        value = (((value << straddle) | GetBits(straddle)) & (RANGE_HALF - 1)) | (value & RANGE_HALF);
    }
    m_nLow = low;
    m_nHigh = top + 1;
    m_nValue = value;
}

LZARI_ALWAYS_INLINE int CLzariCodec::FindSymbol(uint32_t x, uint32_t* cumSym) const
{
    if (x >= m_nFreqTotal) {
        *cumSym = m_nFreqTotal - m_symFreq[1];  // only a damaged stream gets here: rank 1, as a search would
        return 1;
    }
    // The last tree index whose prefix sum is at most x: the rank after it
    // is the one whose interval holds x.
    size_t t = 0;
    uint32_t sum = 0;
#if defined(__clang__)
#pragma unroll
#elif defined(__GNUC__)
#pragma GCC unroll 9
#endif
    for (size_t step = SYM_TREE_SIZE / 2; step > 0; step >>= 1) {
        const uint32_t next = sum + m_symTree[t + step];
        if (next <= x) {
            t += step;
            sum = next;
        }
    }
    *cumSym = sum;
    return SYM_TREE_SIZE - 1 - static_cast<int>(t);
}

int CLzariCodec::FindPosition(uint32_t x) const
{
    return x < POS_TOTAL ? m_pPosOfValue[x] : 0;
}

int CLzariCodec::DecodeCharCode()
{
    return DecodeCharCodeInline();
}

LZARI_ALWAYS_INLINE int CLzariCodec::DecodeCharCodeInline()
{
    const uint32_t range = m_nHigh - m_nLow;
    const uint32_t total = m_nFreqTotal;
    const uint32_t x = ((m_nValue - m_nLow + 1) * total - 1) / range;
    uint32_t cumSym;
    const int sym = FindSymbol(x, &cumSym);
    m_nHigh = m_nLow + range * (cumSym + m_symFreq[sym]) / total;
    m_nLow += range * cumSym / total;
    DecodeRenormalise();
    const int code = m_symToChar[sym];
    UpdateModelInline(sym);
    return code;
}

int CLzariCodec::DecodePosition()
{
    return DecodePositionInline();
}

LZARI_ALWAYS_INLINE int CLzariCodec::DecodePositionInline()
{
    const uint32_t range = m_nHigh - m_nLow;
    const uint32_t x = ((m_nValue - m_nLow + 1) * m_posCum[0] - 1) / range;
    const int pos = FindPosition(x);
    m_nHigh = m_nLow + range * m_posCum[pos] / m_posCum[0];
    m_nLow += range * m_posCum[pos + 1] / m_posCum[0];
    DecodeRenormalise();
    return pos;
}

// ------------------------------------------------------------ match trees

void CLzariCodec::InitTrees()
{
    for (int i = RING_SIZE + 1; i <= RING_SIZE + 256; ++i)
        Right(Handle(i)) = NIL_HANDLE;
    for (int i = 0; i < RING_SIZE; ++i)
        m_linkOf[i] = NOT_IN_TREE;
}

// Bytes 9 to 59 of the strings at r and p, when bytes 1 to 8 agree: how many
// of the first 60 bytes agree, and the sign of the first difference in *cmp
// (0 when all agree). The ring's repeated tail and slack keep the loads
// inside m_text; bytes past the 60th never count.
int CLzariCodec::CompareTail(int r, int p, int* cmp) const
{
    for (int i = 9; i < MAX_MATCH; i += 8) {
        const uint64_t a = LoadBigEndian64(m_text + r + i);
        const uint64_t b = LoadBigEndian64(m_text + p + i);
        if (a != b) {
            const int k = i + (LeadingZeros64(a ^ b) >> 3);
            if (k >= MAX_MATCH)
                break;
            *cmp = a > b ? 1 : -1;
            return k;
        }
    }
    *cmp = 0;
    return MAX_MATCH;
}

// The top 16 bits of a node's key: bytes 1 and 2 of its string.
inline uint16_t CLzariCodec::KeyTop(size_t h) const
{
    uint16_t top;
    std::memcpy(&top, reinterpret_cast<const unsigned char*>(m_tree + h) + lzari_port::Top16Offset(), sizeof top);
    return top;
}

LZARI_ALWAYS_INLINE void CLzariCodec::InsertString(int r)
{
    uint32_t* const tree = m_tree;
    const size_t hr = Handle(r);
    Left(hr) = Right(hr) = NIL_HANDLE;
    // Every string in a tree shares its first byte, and the keys (bytes 1
    // to 8) decide most comparisons at once. A node whose bytes 1 and 2 are
    // not r's agrees in fewer than three bytes and only steers the walk, so
    // the common step tests just those two bytes (the key's top 16 bits)
    // and takes the side from the whole key. The null link carries r's own
    // key, which agrees, and so ends the walk through the rarer path.
    const uint64_t head = LoadBigEndian64(m_text + r + 1);
    std::memcpy(tree + hr, &head, sizeof head);
    std::memcpy(tree + NIL_HANDLE, &head, sizeof head);
    const uint16_t headTop = static_cast<uint16_t>(head >> 48);
    int matchLen = 0;
    int matchPos = m_nMatchPos;  // set by the first match of 3 bytes or more
    // The link to follow next, as an index into m_tree: the root's right.
    size_t link = Handle(RING_SIZE + 1 + m_text[r]) + 3;
    size_t h;
    for (;;) {
        uint64_t other;
        // Two steps a round: the compiler keeps the link just taken at hand
        // without a copy per step.
        for (;;) {
            h = tree[link];
            if (LZARI_UNLIKELY(KeyTop(h) == headTop))
                break;
            std::memcpy(&other, tree + h, sizeof other);
            const size_t next = h + 2 + (other < head ? 1 : 0);
            h = tree[next];
            if (LZARI_UNLIKELY(KeyTop(h) == headTop)) {
                link = next;
                break;
            }
            std::memcpy(&other, tree + h, sizeof other);
            link = h + 2 + (other < head ? 1 : 0);
        }
        LZARI_OPAQUE(link);
        h = tree[link];
        std::memcpy(&other, tree + h, sizeof other);
        if (h == NIL_HANDLE) {
            tree[link] = static_cast<uint32_t>(hr);
            m_linkOf[r] = static_cast<uint32_t>(link);
            m_nMatchLen = matchLen;
            m_nMatchPos = matchPos;
            return;
        }
        const int p = static_cast<int>(h / NODE_WORDS);
        const uint64_t diff = head ^ other;
        int i;
        if (diff != 0) {
            i = 1 + (LeadingZeros64(diff) >> 3);
            link = h + 2 + (other < head ? 1 : 0);
        } else {
            int cmp;
            i = CompareTail(r, p, &cmp);
            link = h + 2 + (cmp >= 0 ? 1 : 0);
        }
        if (i >= matchLen) {
            const int dist = (r - p) & (RING_SIZE - 1);
            if (i > matchLen) {
                matchPos = dist;
                matchLen = i;
                if (i >= MAX_MATCH)
                    break;
            } else if (dist < matchPos) {
                matchPos = dist;
            }
        }
    }
    m_nMatchLen = matchLen;
    m_nMatchPos = matchPos;
    // A full-length match: r takes p's place and p leaves its tree.
    const uint32_t at = LinkOf(h);
    m_linkOf[r] = at;
    Left(hr) = Left(h);
    Right(hr) = Right(h);
    LinkOf(Left(h)) = static_cast<uint32_t>(hr + 2);
    LinkOf(Right(h)) = static_cast<uint32_t>(hr + 3);
    tree[at] = static_cast<uint32_t>(hr);
    LinkOf(h) = NOT_IN_TREE;
}

LZARI_ALWAYS_INLINE void CLzariCodec::DeleteString(int p)
{
    const uint32_t at = m_linkOf[p];
    if (at == NOT_IN_TREE)
        return;
    const size_t hp = Handle(p);
    size_t hq;
    if (Right(hp) == NIL_HANDLE) {
        hq = Left(hp);
    } else if (Left(hp) == NIL_HANDLE) {
        hq = Right(hp);
    } else {
        // The rightmost node of the left subtree takes p's place.
        hq = Left(hp);
        if (Right(hq) != NIL_HANDLE) {
            do {
                hq = Right(hq);
            } while (Right(hq) != NIL_HANDLE);
            const uint32_t qAt = LinkOf(hq);
            m_tree[qAt] = Left(hq);
            LinkOf(Left(hq)) = qAt;
            Left(hq) = Left(hp);
            LinkOf(Left(hp)) = static_cast<uint32_t>(hq + 2);
        }
        Right(hq) = Right(hp);
        LinkOf(Right(hp)) = static_cast<uint32_t>(hq + 3);
    }
    LinkOf(hq) = at;
    m_tree[at] = static_cast<uint32_t>(hq);
    m_linkOf[p] = NOT_IN_TREE;
}

// ---------------------------------------------------------------- drivers

uint32_t CLzariCodec::Encode()
{
    long size = -1;
    if (std::fseek(m_pIn, 0, SEEK_END) == 0)
        size = std::ftell(m_pIn);
    if (size < 0 || static_cast<unsigned long>(size) > 0xFFFFFFFFul) {
        // An input whose size cannot be told (or does not fit the field)
        // cannot be packed.
        m_bReadError = true;
        return 0;
    }
    m_nTextSize = static_cast<uint32_t>(size);

    unsigned char field[4];
    for (int b = 0; b < 4; ++b)
        field[b] = static_cast<unsigned char>(m_nTextSize >> (8 * b));
    if (std::fwrite(field, 4, 1, m_pOut) < 1) {
        m_bWriteError = true;
        return 0;
    }
    m_nCodeSize += 4;
    if (m_nTextSize == 0)
        return 0;

    std::rewind(m_pIn);
    // A file that grows while it is read must not keep the encoder going:
    // the stream codes the bytes its length field counts, no more.
    m_nInLimit = m_nTextSize;
    InitModels();
    InitTrees();

    int s = 0;
    int r = PREFIX_SIZE;
    std::memset(m_text, ' ', PREFIX_SIZE);
    int len = 0;
    int c;
    for (; len < MAX_MATCH && (c = ReadByte()) >= 0; ++len)
        m_text[r + len] = static_cast<unsigned char>(c);
    for (int i = 1; i <= MAX_MATCH; ++i)
        InsertString(r - i);
    InsertString(r);

    while (len > 0) {
        if (m_nMatchLen > len)
            m_nMatchLen = len;
        if (m_nMatchLen <= MATCH_THRESHOLD) {
            m_nMatchLen = 1;
            EncodeCharCodeInline(m_text[r]);
        } else {
            EncodeCharCodeInline(m_nMatchLen + 255 - MATCH_THRESHOLD);
            EncodePosition(m_nMatchPos - 1);
        }
        const int last = m_nMatchLen;
        int i = 0;
        for (; i < last && (c = ReadByte()) >= 0; ++i) {
            DeleteString(s);
            m_text[s] = static_cast<unsigned char>(c);
            if (s < MAX_MATCH - 1)
                m_text[s + RING_SIZE] = static_cast<unsigned char>(c);
            s = (s + 1) & (RING_SIZE - 1);
            r = (r + 1) & (RING_SIZE - 1);
            InsertString(r);
        }
        while (i < last) {
            ++i;
            DeleteString(s);
            s = (s + 1) & (RING_SIZE - 1);
            r = (r + 1) & (RING_SIZE - 1);
            if (--len != 0)
                InsertString(r);
        }
    }
    FinishEncoding();

    // A read error, or a file that shrank or grew while it was read (a byte
    // after the counted ones), leaves a stream of a file that never was.
    if (m_bReadError || m_nInBytes != m_nTextSize || std::fgetc(m_pIn) != EOF)
        m_bReadError = true;
    return m_nCodeSize;
}

bool CLzariCodec::ReadLength()
{
    uint32_t value = 0;
    for (int b = 0; b < 4; ++b) {
        const int c = ReadByte();
        if (c < 0)
            return false;
        value |= static_cast<uint32_t>(c) << (8 * b);
    }
    m_nTextSize = value;
    return true;
}

uint32_t CLzariCodec::Decode()
{
    if (!ReadLength()) {
        // Every stream has its length field: fewer than 4 bytes is a cut stream.
        if (!m_bReadError)
            m_bTruncated = true;
        return 0;
    }
    if (m_nTextSize == 0) {
        // The encoder writes nothing after an empty file's length field.
        if (ReadByte() >= 0)
            m_bBadEnd = true;
        return 0;
    }
    StartDecoding();
    InitModels();

    // The window starts as the ring does: 4036 blanks before the first byte,
    // and before them the 60 ring bytes that are written last (zero here).
    unsigned char* const window = m_window;
    std::memset(window, 0, WINDOW_HISTORY - PREFIX_SIZE);
    std::memset(window + WINDOW_HISTORY - PREFIX_SIZE, ' ', PREFIX_SIZE);
    int pos = WINDOW_HISTORY;
    int flushed = WINDOW_HISTORY;
    uint32_t count = 0;
    while (count < m_nTextSize) {
        // Once the stream has run out or the output has failed, what follows
        // is not the packed file any more: stop instead of inventing bytes.
        if (OverrunEnd()) {
            m_bTruncated = true;
            break;
        }
        if (pos >= WINDOW_HISTORY + WINDOW_SPAN) {
            const size_t n = static_cast<size_t>(pos - flushed);
            flushed = pos;
            if (!Emit(window + flushed - n, n)) {
                m_bWriteError = true;
                break;
            }
            std::memmove(window, window + pos - WINDOW_HISTORY, WINDOW_HISTORY);
            pos = flushed = WINDOW_HISTORY;
            continue;
        }
        const int c = DecodeCharCodeInline();
        if (c < 256) {
            window[pos++] = static_cast<unsigned char>(c);
            ++count;
        } else {
            const int distance = DecodePositionInline() + 1;
            uint32_t n = static_cast<uint32_t>(c - (255 - MATCH_THRESHOLD));
            // The encoder shortens a match to the bytes that remain; a longer
            // one is damage, cut where the stated length ends.
            if (n > m_nTextSize - count) {
                n = m_nTextSize - count;
                m_bBadEnd = true;
            }
            unsigned char* dst = window + pos;
            const unsigned char* src = dst - distance;
            if (distance >= 8) {
                // Eight bytes at a time; every byte read is already final,
                // and the few written past n are rewritten later.
                for (uint32_t k = 0; k < n; k += 8)
                    std::memcpy(dst + k, src + k, 8);
            } else {
                // A short distance repeats the bytes just produced.
                for (uint32_t k = 0; k < n; ++k)
                    dst[k] = src[k];
            }
            pos += static_cast<int>(n);
            count += n;
        }
    }
    const size_t n = static_cast<size_t>(pos - flushed);
    if (n > 0 && !Emit(window + flushed, n))
        m_bWriteError = true;
    if (count == m_nTextSize && !m_bWriteError)
        CheckStreamEnd();
    return count;
}
