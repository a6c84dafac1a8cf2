#include "lzari/LzariCodec.h"

#include <cstring>

CLzariCodec::CLzariCodec()
    : m_pIn(nullptr),
      m_pOut(nullptr),
      m_nTextSize(0),
      m_nCodeSize(0),
      m_nMatchPos(0),
      m_nMatchLen(0),
      m_nLow(0),
      m_nHigh(RANGE_TOP),
      m_nValue(0),
      m_nShifts(0),
      m_nBitBuffer(0),
      m_nBitMask(0),
      m_bBitsStarted(false),
      m_nBytesPastEnd(0),
      m_bTruncated(false),
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
    return STATUS_OK;
}

// ---------------------------------------------------------------- bit I/O

void CLzariCodec::WriteBit(int bit)
{
    if (!m_bBitsStarted) {
        m_nBitBuffer = 0;
        m_nBitMask = 0x80;
        m_bBitsStarted = true;
    }
    if (bit)
        m_nBitBuffer |= static_cast<int>(m_nBitMask);
    m_nBitMask >>= 1;
    if (m_nBitMask == 0) {
        if (std::putc(m_nBitBuffer, m_pOut) != EOF)
            ++m_nCodeSize;
        else
            m_bWriteError = true;  // the byte is lost; carry on with the next one
        m_nBitBuffer = 0;
        m_nBitMask = 0x80;
    }
}

void CLzariCodec::FlushBits()
{
    for (int i = 0; i < 7; ++i)
        WriteBit(0);
}

int CLzariCodec::ReadBit()
{
    if (!m_bBitsStarted) {
        m_nBitBuffer = 0;
        m_nBitMask = 0;
        m_bBitsStarted = true;
    }
    m_nBitMask >>= 1;
    if (m_nBitMask == 0) {
        m_nBitBuffer = std::getc(m_pIn);
        m_nBitMask = 0x80;
        if (m_nBitBuffer == EOF) {
            // Past the end every bit reads as 1.
            if (std::ferror(m_pIn))
                m_bReadError = true;
            if (++m_nBytesPastEnd > MAX_BYTES_PAST_END)
                m_bTruncated = true;
        }
    }
    return (m_nBitBuffer & static_cast<int>(m_nBitMask)) != 0 ? 1 : 0;
}

void CLzariCodec::WriteBitPlusPending(int bit)
{
    WriteBit(bit);
    for (; m_nShifts > 0; --m_nShifts)
        WriteBit(!bit);
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

void CLzariCodec::RebuildSymbolTree()
{
    uint32_t total = 0;
    for (int i = 1; i < SYM_TREE_SIZE; ++i) {
        const uint32_t f = i <= CHAR_CODE_COUNT ? m_symFreq[i] : 0;
        m_symTree[i] = f;
        total += f;
    }
    m_symTree[0] = 0;
    for (int i = 1; i < SYM_TREE_SIZE; ++i) {
        const int parent = i + (i & -i);
        if (parent < SYM_TREE_SIZE)
            m_symTree[parent] += m_symTree[i];
    }
    m_nFreqTotal = total;
}

uint32_t CLzariCodec::SumThrough(int sym) const
{
    uint32_t sum = 0;
    for (; sym > 0; sym &= sym - 1)
        sum += m_symTree[sym];
    return sum;
}

void CLzariCodec::UpdateModel(int sym)
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
    if (i < sym) {
        const int codeI = m_symToChar[i];
        const int codeSym = m_symToChar[sym];
        m_symToChar[i] = codeSym;
        m_symToChar[sym] = codeI;
        m_charToSym[codeSym] = i;
        m_charToSym[codeI] = sym;
    }
    ++m_symFreq[i];
    for (int k = i; k < SYM_TREE_SIZE; k += k & -k)
        ++m_symTree[k];
    ++m_nFreqTotal;
}

// ------------------------------------------------------- arithmetic coder

void CLzariCodec::EncodeCharCode(int code)
{
    const int sym = m_charToSym[code];
    const uint32_t range = m_nHigh - m_nLow;
    const uint32_t total = m_nFreqTotal;
    // The cumulative count of a rank is the sum over the ranks after it.
    const uint32_t cumAbove = total - SumThrough(sym - 1);
    const uint32_t cumSym = cumAbove - m_symFreq[sym];
    m_nHigh = m_nLow + range * cumAbove / total;
    m_nLow += range * cumSym / total;
    for (;;) {
        if (m_nHigh <= RANGE_HALF) {
            WriteBitPlusPending(0);
        } else if (m_nLow >= RANGE_HALF) {
            WriteBitPlusPending(1);
            m_nLow -= RANGE_HALF;
            m_nHigh -= RANGE_HALF;
        } else if (m_nLow >= RANGE_Q1 && m_nHigh <= RANGE_Q3) {
            ++m_nShifts;
            m_nLow -= RANGE_Q1;
            m_nHigh -= RANGE_Q1;
        } else {
            break;
        }
        m_nLow += m_nLow;
        m_nHigh += m_nHigh;
    }
    UpdateModel(sym);
}

void CLzariCodec::EncodePosition(int pos)
{
    const uint32_t range = m_nHigh - m_nLow;
    m_nHigh = m_nLow + range * m_posCum[pos] / m_posCum[0];
    m_nLow += range * m_posCum[pos + 1] / m_posCum[0];
    for (;;) {
        if (m_nHigh <= RANGE_HALF) {
            WriteBitPlusPending(0);
        } else if (m_nLow >= RANGE_HALF) {
            WriteBitPlusPending(1);
            m_nLow -= RANGE_HALF;
            m_nHigh -= RANGE_HALF;
        } else if (m_nLow >= RANGE_Q1 && m_nHigh <= RANGE_Q3) {
            ++m_nShifts;
            m_nLow -= RANGE_Q1;
            m_nHigh -= RANGE_Q1;
        } else {
            break;
        }
        m_nLow += m_nLow;
        m_nHigh += m_nHigh;
    }
}

void CLzariCodec::FinishEncoding()
{
    ++m_nShifts;
    if (m_nLow < RANGE_Q1)
        WriteBitPlusPending(0);
    else
        WriteBitPlusPending(1);
    FlushBits();
}

void CLzariCodec::StartDecoding()
{
    for (int i = 0; i < 17; ++i)
        m_nValue = 2 * m_nValue + static_cast<uint32_t>(ReadBit());
}

int CLzariCodec::FindSymbol(uint32_t x, uint32_t* below) const
{
    // x lies in rank s's interval when the ranks before s sum to less than
    // total - x and the ranks through s to at least that much.
    if (x >= m_nFreqTotal) {
        *below = 0;  // only a damaged stream gets here: rank 1, as a search would
        return 1;
    }
    const uint32_t y = m_nFreqTotal - x;
    int pos = 0;
    uint32_t sum = 0;
    for (int step = SYM_TREE_SIZE / 2; step > 0; step >>= 1) {
        const uint32_t t = sum + m_symTree[pos + step];
        if (t < y) {
            pos += step;
            sum = t;
        }
    }
    *below = sum;
    return pos + 1;
}

int CLzariCodec::FindPosition(uint32_t x) const
{
    return x < POS_TOTAL ? m_pPosOfValue[x] : 0;
}

int CLzariCodec::DecodeCharCode()
{
    const uint32_t range = m_nHigh - m_nLow;
    const uint32_t total = m_nFreqTotal;
    const uint32_t x = ((m_nValue - m_nLow + 1) * total - 1) / range;
    uint32_t below;
    const int sym = FindSymbol(x, &below);
    const uint32_t cumAbove = total - below;
    const uint32_t cumSym = cumAbove - m_symFreq[sym];
    m_nHigh = m_nLow + range * cumAbove / total;
    m_nLow += range * cumSym / total;
    for (;;) {
        if (m_nLow >= RANGE_HALF) {
            m_nValue -= RANGE_HALF;
            m_nLow -= RANGE_HALF;
            m_nHigh -= RANGE_HALF;
        } else if (m_nLow >= RANGE_Q1 && m_nHigh <= RANGE_Q3) {
            m_nValue -= RANGE_Q1;
            m_nLow -= RANGE_Q1;
            m_nHigh -= RANGE_Q1;
        } else if (m_nHigh > RANGE_HALF) {
            break;
        }
        m_nLow += m_nLow;
        m_nHigh += m_nHigh;
        m_nValue = 2 * m_nValue + static_cast<uint32_t>(ReadBit());
    }
    const int code = m_symToChar[sym];
    UpdateModel(sym);
    return code;
}

int CLzariCodec::DecodePosition()
{
    const uint32_t range = m_nHigh - m_nLow;
    const uint32_t x = ((m_nValue - m_nLow + 1) * m_posCum[0] - 1) / range;
    const int pos = FindPosition(x);
    m_nHigh = m_nLow + range * m_posCum[pos] / m_posCum[0];
    m_nLow += range * m_posCum[pos + 1] / m_posCum[0];
    for (;;) {
        if (m_nLow >= RANGE_HALF) {
            m_nValue -= RANGE_HALF;
            m_nLow -= RANGE_HALF;
            m_nHigh -= RANGE_HALF;
        } else if (m_nLow >= RANGE_Q1 && m_nHigh <= RANGE_Q3) {
            m_nValue -= RANGE_Q1;
            m_nLow -= RANGE_Q1;
            m_nHigh -= RANGE_Q1;
        } else if (m_nHigh > RANGE_HALF) {
            break;
        }
        m_nLow += m_nLow;
        m_nHigh += m_nHigh;
        m_nValue = 2 * m_nValue + static_cast<uint32_t>(ReadBit());
    }
    return pos;
}

// ------------------------------------------------------------ match trees

void CLzariCodec::InitTrees()
{
    for (int i = RING_SIZE + 1; i <= RING_SIZE + 256; ++i)
        m_right[i] = TREE_NIL;
    for (int i = 0; i < RING_SIZE; ++i)
        m_parent[i] = TREE_NIL;
}

void CLzariCodec::InsertString(int r)
{
    int cmp = 1;
    int p = RING_SIZE + 1 + m_text[r];
    m_left[r] = m_right[r] = TREE_NIL;
    m_nMatchLen = 0;
    for (;;) {
        if (cmp >= 0) {
            if (m_right[p] != TREE_NIL) {
                p = m_right[p];
            } else {
                m_right[p] = r;
                m_parent[r] = p;
                return;
            }
        } else {
            if (m_left[p] != TREE_NIL) {
                p = m_left[p];
            } else {
                m_left[p] = r;
                m_parent[r] = p;
                return;
            }
        }
        int i = 1;
        while (i < MAX_MATCH && (cmp = m_text[r + i] - m_text[p + i]) == 0)
            ++i;
        const int dist = (r - p) & (RING_SIZE - 1);
        if (i > MATCH_THRESHOLD) {
            if (i > m_nMatchLen) {
                m_nMatchPos = dist;
                m_nMatchLen = i;
                if (i >= MAX_MATCH)
                    break;
            } else if (i == m_nMatchLen && dist < m_nMatchPos) {
                m_nMatchPos = dist;
            }
        }
    }
    // A full-length match: r takes p's place and p leaves its tree.
    m_parent[r] = m_parent[p];
    m_left[r] = m_left[p];
    m_right[r] = m_right[p];
    m_parent[m_left[p]] = r;
    m_parent[m_right[p]] = r;
    if (m_right[m_parent[p]] == p)
        m_right[m_parent[p]] = r;
    else
        m_left[m_parent[p]] = r;
    m_parent[p] = TREE_NIL;
}

void CLzariCodec::DeleteString(int p)
{
    if (m_parent[p] == TREE_NIL)
        return;
    int q;
    if (m_right[p] == TREE_NIL) {
        q = m_left[p];
    } else if (m_left[p] == TREE_NIL) {
        q = m_right[p];
    } else {
        q = m_left[p];
        if (m_right[q] != TREE_NIL) {
            do {
                q = m_right[q];
            } while (m_right[q] != TREE_NIL);
            m_right[m_parent[q]] = m_left[q];
            m_parent[m_left[q]] = m_parent[q];
            m_left[q] = m_left[p];
            m_parent[m_left[p]] = q;
        }
        m_right[q] = m_right[p];
        m_parent[m_right[p]] = q;
    }
    m_parent[q] = m_parent[p];
    if (m_right[m_parent[p]] == p)
        m_right[m_parent[p]] = q;
    else
        m_left[m_parent[p]] = q;
    m_parent[p] = TREE_NIL;
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
    InitModels();
    InitTrees();

    int s = 0;
    int r = PREFIX_SIZE;
    std::memset(m_text, ' ', PREFIX_SIZE);
    uint32_t nRead = 0;
    int len = 0;
    int c;
    for (; len < MAX_MATCH && (c = std::getc(m_pIn)) != EOF; ++len)
        m_text[r + len] = static_cast<unsigned char>(c);
    nRead += static_cast<uint32_t>(len);
    for (int i = 1; i <= MAX_MATCH; ++i)
        InsertString(r - i);
    InsertString(r);

    while (len > 0) {
        if (m_nMatchLen > len)
            m_nMatchLen = len;
        if (m_nMatchLen <= MATCH_THRESHOLD) {
            m_nMatchLen = 1;
            EncodeCharCode(m_text[r]);
        } else {
            EncodeCharCode(m_nMatchLen + 255 - MATCH_THRESHOLD);
            EncodePosition(m_nMatchPos - 1);
        }
        const int last = m_nMatchLen;
        int i = 0;
        for (; i < last && (c = std::getc(m_pIn)) != EOF; ++i) {
            ++nRead;
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

    // A read error, or a file that shrank or grew while it was read, leaves
    // a length field that does not describe the coded bytes.
    if (std::ferror(m_pIn) || nRead != m_nTextSize)
        m_bReadError = true;
    return m_nCodeSize;
}

bool CLzariCodec::ReadLength()
{
    unsigned char field[4];
    if (std::fread(field, 4, 1, m_pIn) < 1) {
        if (std::ferror(m_pIn))
            m_bReadError = true;
        return false;
    }
    m_nTextSize = static_cast<uint32_t>(field[0]) | static_cast<uint32_t>(field[1]) << 8 |
                  static_cast<uint32_t>(field[2]) << 16 | static_cast<uint32_t>(field[3]) << 24;
    return true;
}

uint32_t CLzariCodec::Decode()
{
    if (!ReadLength()) {
        // Every stream has its length field: fewer than 4 bytes is a cut stream.
        m_bTruncated = true;
        return 0;
    }
    if (m_nTextSize == 0)
        return 0;
    StartDecoding();
    InitModels();

    std::memset(m_text, ' ', PREFIX_SIZE);
    int r = PREFIX_SIZE;
    uint32_t count = 0;
    // Once the stream has run out or the output has failed, what follows is
    // not the packed file any more: stop instead of inventing bytes.
    while (count < m_nTextSize && !m_bTruncated && !m_bReadError && !m_bWriteError) {
        const int c = DecodeCharCode();
        if (c < 256) {
            if (std::putc(c, m_pOut) == EOF)
                m_bWriteError = true;
            m_text[r] = static_cast<unsigned char>(c);
            r = (r + 1) & (RING_SIZE - 1);
            ++count;
        } else {
            const int p = DecodePosition();
            const int src = (r - p - 1) & (RING_SIZE - 1);
            uint32_t n = static_cast<uint32_t>(c - (255 - MATCH_THRESHOLD));
            // A damaged stream may code a match that runs past the stated
            // length: cut it there.
            if (n > m_nTextSize - count)
                n = m_nTextSize - count;
            for (uint32_t k = 0; k < n; ++k) {
                const unsigned char b = m_text[(src + static_cast<int>(k)) & (RING_SIZE - 1)];
                if (std::putc(b, m_pOut) == EOF)
                    m_bWriteError = true;
                m_text[r] = b;
                r = (r + 1) & (RING_SIZE - 1);
            }
            count += n;
        }
    }
    return count;
}
