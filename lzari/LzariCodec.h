// CLzariCodec: LZSS over a 4096-byte window, with literals and match lengths
// coded by an adaptive arithmetic model and match positions by a fixed one.
//
// Stream: a 4-byte little-endian unpacked length, then the code bits, most
// significant bit first, the last byte padded with zero bits. No magic, no
// checksum, no end marker. An empty input packs to four zero bytes.
//
// Use: assign m_pIn and m_pOut (binary stdio streams, not owned), call
// Encode() or Decode() once, then ask GetStatus(). One object, one run.
//
// Contract on hostile input: Decode() never writes more bytes than the
// length field states, reads its input at most once through, and always
// ends; the codec throws nothing and allocates nothing.
//
// What Decode() detects, exactly: a stream counts as whole only when it is
// bit for bit what the encoder writes for the codes it decoded. Once the
// last byte is decoded, the coder state fixes everything the encoder wrote
// after it (its closing bits and the zero padding of the last byte), and so
// the stream's length. Hence
//   - a stream cut short anywhere, even by one byte, is STATUS_TRUNCATED;
//   - bytes after the stream's end (within the input limit when one is
//     set), final bits other than the encoder's, or a match that runs past
//     the stated length are STATUS_BAD_END;
// and neither ever passes as STATUS_OK, whatever content it decodes to.
// What cannot be detected: the format has no checksum, so a changed byte
// anywhere in a stream, its last ones included, can decode to other content
// of the stated length without any report: the changed bytes may be just
// what the encoder writes for that content. (Often the end then fails the
// check above, but not always.)
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// Where Decode() can put the unpacked bytes instead of a stream: it gets
// them in order, in blocks. Write returns false to stop the run, which then
// ends with STATUS_WRITE_ERROR.
class CLzariSink {
public:
    virtual ~CLzariSink() = default;
    virtual bool Write(const unsigned char* data, size_t size) = 0;
};

class CLzariCodec {
public:
    enum {
        RING_SIZE = 4096,
        MAX_MATCH = 60,
        MATCH_THRESHOLD = 2,
        TREE_NIL = RING_SIZE,
        CHAR_CODE_COUNT = 314,
        // The blank prefix that stands before the data in the ring.
        PREFIX_SIZE = RING_SIZE - MAX_MATCH,
        // The decoder starts with this many code bits; the encoder ends with
        // two bits after the last doubling of its range (then zero padding).
        START_BITS = 17,
        FINAL_BITS = 2,
        // Binary indexed tree over ranks 1..314, padded to a power of two.
        SYM_TREE_SIZE = 512,
        // Total of the fixed position model.
        POS_TOTAL = 28568
    };
    static const uint32_t RANGE_Q1 = 0x8000;
    static const uint32_t RANGE_HALF = 0x10000;
    static const uint32_t RANGE_Q3 = 0x18000;
    static const uint32_t RANGE_TOP = 0x20000;
    static const uint32_t MAX_FREQ_TOTAL = 32767;

    // The outcome of a run, beside the count that Encode/Decode return.
    enum Status {
        STATUS_OK = 0,
        STATUS_TRUNCATED,    // decode: the stream ends before its data, or before its closing bits
        STATUS_READ_ERROR,   // the input stream failed (ferror), or changed size while encoding
        STATUS_WRITE_ERROR,  // a byte could not be written to the output
        STATUS_BAD_END       // decode: bytes after the stream's end, or an end the encoder never writes
    };

    CLzariCodec();
    virtual ~CLzariCodec();
    CLzariCodec(const CLzariCodec&) = delete;
    CLzariCodec& operator=(const CLzariCodec&) = delete;

    // Reads the input and writes one stream. Returns 4 plus the number of
    // coded bytes written, or 0 when the length field could not be written
    // or the input is empty (its four zero bytes are then written). Reads no
    // more than the size it wrote into the length field; an input that
    // grew or shrank meanwhile is STATUS_READ_ERROR.
    uint32_t Encode();
    // Reads one stream and writes the unpacked bytes. Returns the number of
    // bytes written; 0 when the length field cannot be read or is 0. Stops
    // early, with a failure status, on a cut stream or a write error.
    uint32_t Decode();

    // What went wrong in the run, a read error before a write error before
    // a cut stream before a bad end; STATUS_OK when the run was sound.
    Status GetStatus() const;
    bool IsTruncated() const { return m_bTruncated; }

    // Decode: the stream ends after this many bytes of m_pIn (length field
    // included), wherever the input itself ends; for a stream that sits
    // inside a larger file. Bytes after the limit are not read; an input
    // that ends before it is a cut stream.
    void SetInputLimit(uint64_t bytes) { m_nInLimit = bytes; }

    FILE* m_pIn;
    FILE* m_pOut;
    // Decode writes here instead of m_pOut when set (not owned).
    CLzariSink* m_pSink;

protected:
    enum {
        IN_BUF_SIZE = 8192,
        OUT_BUF_SIZE = 8192,
        // The decoder writes into a flat window: the 4096 bytes before the
        // current one (for back-references), then up to WINDOW_SPAN new
        // bytes before they go to the output in one block.
        WINDOW_HISTORY = RING_SIZE,
        WINDOW_SPAN = 16384,
        WINDOW_SLACK = 64 + 8,
        // Match-tree nodes: words per node, the null child, the link index
        // of a node in no tree.
        NODE_WORDS = 4,
        NIL_HANDLE = NODE_WORDS * TREE_NIL,
        NOT_IN_TREE = 0
    };
    static const uint64_t NO_LIMIT = ~static_cast<uint64_t>(0);

    // Bit writer and reader, most significant bit first.
    void WriteBit(int bit);
    // Completes a part byte with zero bits and hands every byte to the output.
    void FlushBits();
    void PutBits(uint32_t bits, int count);  // count 1..32
    void PutRepeated(int bit, int count);
    void FlushOutput();
    // Hands decoded bytes to the sink or the output stream.
    bool Emit(const unsigned char* data, size_t size);
    uint32_t GetBits(int count);             // count 1..32
    void RefillBits();

    // Buffered byte input.
    void FillInput();
    int ReadByte()
    {
        if (m_pInNext == m_pInEnd) {
            FillInput();
            if (m_pInNext == m_pInEnd)
                return -1;
        }
        return *m_pInNext++;
    }

    // Models.
    void InitModels();
    void UpdateModel(int sym);
    void UpdateModelInline(int sym);
    uint32_t FreqTotal() const { return m_nFreqTotal; }
    uint32_t SymbolFreq(int sym) const { return m_symFreq[sym]; }
    int SymbolOfCode(int code) const { return m_charToSym[code]; }

    // Arithmetic coder.
    void EncodeCharCode(int code);
    void EncodeCharCodeInline(int code);
    void EncodePosition(int pos);
    void EncodeInterval(uint32_t cumAbove, uint32_t cumBelow, uint32_t total);
    void FinishEncoding();
    void StartDecoding();
    int DecodeCharCode();
    int DecodeCharCodeInline();
    int DecodePosition();
    int DecodePositionInline();
    void DecodeRenormalise();
    // The rank whose interval holds x; *cumSym gets its cumulative count.
    int FindSymbol(uint32_t x, uint32_t* cumSym) const;
    // The cumulative count of a rank: the frequency sum of the ranks after it.
    uint32_t CumAfter(int sym) const;
    void RebuildSymbolTree();
    int FindPosition(uint32_t x) const;

    // Match trees.
    void InitTrees();
    int CompareTail(int r, int p, int* cmp) const;
    void InsertString(int r);
    void DeleteString(int p);
    // A node's handle is the index of its first word in m_tree.
    static size_t Handle(int x) { return NODE_WORDS * static_cast<size_t>(x); }
    uint32_t& Left(size_t h) { return m_tree[h + 2]; }
    uint32_t& Right(size_t h) { return m_tree[h + 3]; }
    uint32_t& LinkOf(size_t h) { return m_linkOf[h / NODE_WORDS]; }
    uint16_t KeyTop(size_t h) const;

    // Reads the length field; false when the input holds fewer than 4 bytes.
    bool ReadLength();
    // Decode: bits taken from the code part so far, and whether that is more
    // than a whole stream of this length lets the decoder take.
    uint64_t BitsConsumed() const { return m_nBitsFed - static_cast<uint64_t>(m_nBitCount); }
    bool OverrunEnd() const { return m_bInEof && BitsConsumed() > m_nBitLimit; }
    // Decode, once the last byte is out: does the stream end exactly as the
    // encoder ends it?
    void CheckStreamEnd();
    bool InputLimited() const { return m_nInLimit != NO_LIMIT; }

    uint32_t m_nTextSize;
    uint32_t m_nCodeSize;
    // Encoder ring: 4096 bytes, then ring bytes 0..58 again so string
    // comparisons run past the end without wrapping, then slack for
    // word-wide comparisons.
    unsigned char m_text[RING_SIZE + MAX_MATCH - 1 + 8];
    int m_nMatchPos;
    int m_nMatchLen;
    // Match trees. Node x has the four words m_tree[4x .. 4x + 3]: its key
    // (bytes 1 to 8 of its string as one number that compares as the bytes
    // do, in two words; set when the node is inserted, as a node's bytes do
    // not change while it is in a tree), its left link and its right link.
    // A link holds the child's handle, or NIL_HANDLE. Nodes 4097 to 4352
    // are the roots of the 256 trees and use only their right link. The key
    // of TREE_NIL holds the key being inserted.
    alignas(8) uint32_t m_tree[NODE_WORDS * (RING_SIZE + 257)];
    // For each node, the index in m_tree of the link that holds it, or
    // NOT_IN_TREE (0 is a key word, never a link).
    uint32_t m_linkOf[RING_SIZE + 1];
    uint32_t m_nLow;
    uint32_t m_nHigh;
    uint32_t m_nValue;
    int m_nShifts;
    int m_charToSym[CHAR_CODE_COUNT];
    int m_symToChar[CHAR_CODE_COUNT + 1];
    uint32_t m_symFreq[CHAR_CODE_COUNT + 1];
    // The cumulative counts of the ranks, as a binary indexed tree: a rank's
    // count, the search for a value and an update each take at most nine
    // steps instead of a walk over every higher rank.
    uint32_t m_symTree[SYM_TREE_SIZE];
    uint32_t m_nFreqTotal;
    uint32_t m_posCum[RING_SIZE + 1];
    // Position of every value of the fixed position model (shared table).
    const uint16_t* m_pPosOfValue;

    // Bits: the writer keeps its pending bits in the low m_nBitCount bits of
    // m_nBitBuf; the reader keeps its unread bits at the top.
    uint64_t m_nBitBuf;
    int m_nBitCount;
    uint64_t m_nBitsFed;   // reader: bits moved into m_nBitBuf so far
    uint64_t m_nBitLimit;  // reader: consumed bits allowed once the input ended

    // Byte buffers.
    unsigned char m_inBuf[IN_BUF_SIZE];
    const unsigned char* m_pInNext;
    const unsigned char* m_pInEnd;
    uint64_t m_nInBytes;
    uint64_t m_nInLimit;
    bool m_bInEof;
    unsigned char m_outBuf[OUT_BUF_SIZE];
    int m_nOutUsed;
    unsigned char m_window[WINDOW_HISTORY + WINDOW_SPAN + WINDOW_SLACK];

    // Failure report (not part of the stream state).
    bool m_bTruncated;
    bool m_bBadEnd;
    bool m_bReadError;
    bool m_bWriteError;
};
