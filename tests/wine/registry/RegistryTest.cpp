// ReadRegistryString against the real registry of the Wine prefix (a private
// scratch key below HKEY_CURRENT_USER, removed afterwards), and against
// recorded calls for what Wine cannot stage: an account that may read a key
// but not write it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Registry.h"

namespace {

class ScratchKey {
public:
    ScratchKey()
    {
        static int counter = 0;
        char name[128];
        wsprintfA(name, "Software\\OrvexSetupTests\\registry-%lu-%d", GetCurrentProcessId(), counter++);
        m_path = name;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &m_hKey, nullptr));
    }
    ~ScratchKey()
    {
        RegCloseKey(m_hKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, m_path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\OrvexSetupTests");  // only succeeds when empty
    }
    void Set(const char* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(m_hKey, name, 0, type, static_cast<const BYTE*>(data), size));
    }
    const char* Path() const { return m_path.c_str(); }

private:
    std::string m_path;
    HKEY m_hKey = nullptr;
};

TEST(ReadRegistryString, ReadsStringValuesIncludingGbkAndEmpty)
{
    ScratchKey key;
    const char gbk[] = "C:\\Program Files\\誠信\\Orvex";
    key.Set("mainpath", REG_SZ, gbk, sizeof gbk);
    key.Set("empty", REG_SZ, "", 1);

    CString result("unchanged");
    ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, key.Path(), "mainpath", &result));
    EXPECT_EQ(std::string(gbk), result.str());

    result = "unchanged";
    ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, key.Path(), "empty", &result));
    EXPECT_EQ(0, result.GetLength());
}

TEST(ReadRegistryString, TextEndsAtFirstNulAndTypeIsNotChecked)
{
    ScratchKey key;
    const char bytes[] = {'a', 'b', 'c', 0, 'd', 'e', 'f'};
    key.Set("binary", REG_BINARY, bytes, sizeof bytes);
    CString result;
    ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, key.Path(), "binary", &result));
    EXPECT_EQ(std::string("abc"), result.str());
}

TEST(ReadRegistryString, ValueFillingTheWholeBufferIsTakenExactly)
{
    ScratchKey key;
    std::vector<char> full(SFX_REGISTRY_BUFFER_SIZE);
    for (size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<char>('A' + i % 26);
    key.Set("full", REG_BINARY, full.data(), static_cast<DWORD>(full.size()));

    CString result;
    ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, key.Path(), "full", &result));
    ASSERT_EQ(static_cast<int>(SFX_REGISTRY_BUFFER_SIZE), result.GetLength());
    EXPECT_EQ(std::string(full.begin(), full.end()), result.str());
}

TEST(ReadRegistryString, FailuresLeaveTheStringUnchanged)
{
    ScratchKey key;
    std::vector<char> tooLong(SFX_REGISTRY_BUFFER_SIZE + 1, 'x');
    key.Set("toolong", REG_BINARY, tooLong.data(), static_cast<DWORD>(tooLong.size()));

    CString result("unchanged");
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, key.Path(), "toolong", &result));
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, key.Path(), "missing", &result));
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, "Software\\OrvexSetupTests\\no such key", "x", &result));
    EXPECT_EQ(std::string("unchanged"), result.str());
}

// Recorded registry calls: what was asked of the registry, and whether the
// key was closed again.
struct Recorder {
    static Recorder* current;
    REGSAM access = 0;
    DWORD options = ~0u;
    DWORD bufferSize = 0;
    bool bufferGiven = false;
    int opened = 0;
    int closed = 0;
    LONG openResult = ERROR_SUCCESS;
    LONG queryResult = ERROR_SUCCESS;
    HKEY fakeKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x5150));
};
Recorder* Recorder::current = nullptr;

LONG WINAPI FakeOpen(HKEY, LPCWSTR, DWORD options, REGSAM access, PHKEY phKey)
{
    Recorder& r = *Recorder::current;
    r.options = options;
    r.access = access;
    if (r.openResult != ERROR_SUCCESS)
        return r.openResult;
    ++r.opened;
    *phKey = r.fakeKey;
    return ERROR_SUCCESS;
}

LONG WINAPI FakeQuery(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE data, LPDWORD cbData)
{
    Recorder& r = *Recorder::current;
    r.bufferGiven = data != nullptr;
    r.bufferSize = cbData ? *cbData : 0;
    if (r.queryResult == ERROR_SUCCESS && data && cbData) {
        memcpy(data, "C:\\Orvex", 8);
        *cbData = 8;
    }
    return r.queryResult;
}

LONG WINAPI FakeClose(HKEY hKey)
{
    Recorder& r = *Recorder::current;
    if (hKey == r.fakeKey)
        ++r.closed;
    return ERROR_SUCCESS;
}

class RecordedRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        Recorder::current = &rec;
        previous = SfxSetRegistryApi(&fake);
    }
    void TearDown() override
    {
        SfxSetRegistryApi(nullptr);
        Recorder::current = nullptr;
    }
    Recorder rec;
    SfxRegistryApi fake = {FakeOpen, FakeQuery, FakeClose};
    const SfxRegistryApi* previous = nullptr;
};

TEST_F(RecordedRegistry, OpensForReadingOnlyWithA8000ByteBufferAndClosesTheKey)
{
    CString result;
    ASSERT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Any", "mainpath", &result));
    EXPECT_EQ(std::string("C:\\Orvex"), result.str());
    EXPECT_EQ(static_cast<REGSAM>(KEY_READ), rec.access);
    // No right beyond reading: the read must work where writing is denied.
    EXPECT_EQ(0u, rec.access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | WRITE_DAC | WRITE_OWNER | DELETE));
    EXPECT_EQ(0u, rec.options);
    EXPECT_TRUE(rec.bufferGiven);
    EXPECT_EQ(8000u, rec.bufferSize);
    EXPECT_EQ(1, rec.opened);
    EXPECT_EQ(1, rec.closed);
}

TEST_F(RecordedRegistry, KeyIsClosedWhenTheValueCannotBeRead)
{
    for (LONG failure : {static_cast<LONG>(ERROR_FILE_NOT_FOUND), static_cast<LONG>(ERROR_MORE_DATA)}) {
        rec.opened = rec.closed = 0;
        rec.queryResult = failure;
        CString result("unchanged");
        EXPECT_FALSE(ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Any", "mainpath", &result));
        EXPECT_EQ(std::string("unchanged"), result.str());
        EXPECT_EQ(1, rec.closed) << "query result " << failure;
    }
}

TEST_F(RecordedRegistry, NothingIsClosedWhenTheKeyCannotBeOpened)
{
    rec.openResult = ERROR_ACCESS_DENIED;
    CString result("unchanged");
    EXPECT_FALSE(ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Any", "mainpath", &result));
    EXPECT_EQ(std::string("unchanged"), result.str());
    EXPECT_EQ(0, rec.closed);
}

}  // namespace
