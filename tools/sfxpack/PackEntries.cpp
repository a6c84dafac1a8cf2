#include "PackEntries.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "Host.h"
#include "HostText.h"
#include "archive/SfxLayout.h"
#include "lzari/LzariCodec.h"

namespace fs = std::filesystem;

namespace sfxpack {

namespace {

// One entry's encoded stream, waiting in its temporary file.
struct Slot {
    enum State { PENDING, READY, FAILED };
    State state = PENDING;
    FILE* stream = nullptr;  // open for reading and writing
    fs::path path;
};

class Packer {
public:
    Packer(const PackRequest& request, OutputFile* out) : m_request(request), m_entries(*request.entries), m_out(out)
    {
        m_slots.resize(m_entries.size());
        for (size_t i = 0; i < m_entries.size(); ++i)
            m_slots[i].path = fs::path(request.tempStem.native() + fs::path("-" + std::to_string(i) + ".tmp").native());
        // The largest entries go first, so that the threads finish close
        // together; the output order is the entries' own.
        m_order.resize(m_entries.size());
        for (size_t i = 0; i < m_order.size(); ++i)
            m_order[i] = i;
        std::stable_sort(m_order.begin(), m_order.end(),
                         [this](size_t a, size_t b) { return m_entries[a].size > m_entries[b].size; });
        m_progress.entriesTotal = m_entries.size();
        for (const PlannedEntry& entry : m_entries)
            m_progress.bytesTotal += entry.size;
    }

    ~Packer()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        for (std::thread& t : m_threads)
            t.join();
        for (Slot& slot : m_slots)
            Drop(&slot);
    }

    bool Run(std::vector<SfxRecord>* records, std::string* error)
    {
        const unsigned threads = std::max(1u, std::min<unsigned>(m_request.threads, static_cast<unsigned>(m_entries.size())));
        try {
            for (unsigned t = 0; t < threads; ++t)
                m_threads.emplace_back(&Packer::Work, this);
        } catch (const std::system_error& e) {
            if (m_threads.empty()) {
                *error = std::string("cannot start a packing thread: ") + e.what();
                return false;
            }
            // Fewer threads than asked only take longer.
        }
        int64_t directorySize = SFX_TRAILER_LENGTH;
        for (size_t i = 0; i < m_slots.size(); ++i) {
            if (!WaitFor(i, error))
                return false;
            const int64_t offset = m_out->Position();
            if (!Append(&m_slots[i], error))
                return false;
            const int64_t end = m_out->Position();
            directorySize += SFX_RECORD_FIXED_LENGTH + static_cast<int64_t>(m_entries[i].storedName.size());
            if (offset < 0 || end < 0 || end + directorySize >= SFX_MAX_FILE_SIZE) {
                *error = Printable(m_request.outputShown) +
                         ": the installer would reach 2 GiB, more than an installer can read";
                return false;
            }
            records->push_back({static_cast<uint32_t>(offset), static_cast<uint32_t>(end - offset), m_entries[i].storedName});
            Report();
        }
        return true;
    }

private:
    void Work()
    {
        for (;;) {
            const size_t k = m_next.fetch_add(1);
            if (k >= m_order.size())
                return;
            const size_t i = m_order[k];
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_stop || Interrupted())
                    return;
            }
            std::string error;
            bool ok = false;
            try {
                ok = Encode(i, &error);
            } catch (const std::exception& e) {
                error = Printable(m_entries[i].source) + ": " + e.what();
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            if (ok) {
                m_slots[i].state = Slot::READY;
                ++m_progress.entriesDone;
                m_progress.bytesDone += m_entries[i].size;
            } else {
                m_slots[i].state = Slot::FAILED;
                if (m_error.empty())
                    m_error = error;
                m_stop = true;
            }
            m_changed.notify_all();
        }
    }

    // Runs on a worker: one entry into its temporary file.
    bool Encode(size_t i, std::string* error)
    {
        const PlannedEntry& entry = m_entries[i];
        Slot& slot = m_slots[i];
        errno = 0;
        FILE* input = OpenHostFile(entry.source, "rb");
        if (!input) {
            *error = Printable(entry.source) + ": cannot open for reading: " + std::strerror(errno);
            return false;
        }
        errno = 0;
        // Beside the output, on the disk that must hold the installer anyway.
        FILE* stream = host::OpenAnonymousFile(slot.path);
        if (!stream) {
            const int saved = errno;
            std::fclose(input);
            *error = Printable(m_request.outputShown) + ": cannot create a temporary file beside it: " + std::strerror(saved);
            return false;
        }
        {
            // The worker owns the slot's stream until it reports; the main
            // thread reads the slot only after that, under the lock.
            std::lock_guard<std::mutex> lock(m_mutex);
            slot.stream = stream;
        }
        // Only this thread touches the two streams.
        host::UseFromOneThread(input);
        host::UseFromOneThread(stream);
        const auto codec = std::make_unique<CLzariCodec>();
        codec->m_pIn = input;
        codec->m_pOut = stream;
        errno = 0;
        codec->Encode();
        const int encodeErrno = errno;
        const bool readFailed = std::ferror(input) != 0 || codec->GetStatus() == CLzariCodec::STATUS_READ_ERROR;
        std::fclose(input);
        if (readFailed) {
            *error = Printable(entry.source) + ": read error (or the file changed while being packed)";
            return false;
        }
        errno = 0;
        const bool flushed = std::fflush(stream) == 0 && !std::ferror(stream);
        if (codec->GetStatus() != CLzariCodec::STATUS_OK || !flushed) {
            const int cause = flushed || errno == 0 ? encodeErrno : errno;
            *error = Printable(m_request.outputShown) + ": cannot write: " + (cause ? std::strerror(cause) : "write error");
            return false;
        }
        return true;
    }

    // Waits until entry i is encoded, reporting progress meanwhile.
    bool WaitFor(size_t i, std::string* error)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            // A signal handler cannot wake the wait; it is polled.
            if (Interrupted()) {
                *error = "interrupted; nothing written";
                return false;
            }
            if (!m_error.empty()) {
                *error = m_error;
                return false;
            }
            if (m_slots[i].state == Slot::READY)
                return true;
            if (m_changed.wait_for(lock, std::chrono::milliseconds(250)) == std::cv_status::timeout) {
                lock.unlock();
                Report();
                lock.lock();
            }
        }
    }

    // Copies a finished stream to the output and removes its file.
    bool Append(Slot* slot, std::string* error)
    {
        std::rewind(slot->stream);
        char buffer[1 << 16];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, slot->stream)) > 0) {
            errno = 0;
            if (!m_out->Write(buffer, n)) {
                *error = Printable(m_request.outputShown) + ": cannot write: " + std::strerror(errno ? errno : EIO);
                return false;
            }
            if (m_request.digests)
                m_request.digests->Payload(buffer, n);
        }
        if (std::ferror(slot->stream)) {
            *error = Printable(m_request.outputShown) + ": cannot read back a temporary file";
            return false;
        }
        if (m_request.digests)
            m_request.digests->EndPayload();
        Drop(slot);
        return true;
    }

    static void Drop(Slot* slot)
    {
        if (slot->stream) {
            std::fclose(slot->stream);
            slot->stream = nullptr;
        }
        std::error_code ec;
        fs::remove(slot->path, ec);
    }

    void Report()
    {
        if (!m_request.progress)
            return;
        PackProgress snapshot;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            snapshot = m_progress;
        }
        m_request.progress(snapshot);
    }

    const PackRequest& m_request;
    const std::vector<PlannedEntry>& m_entries;
    OutputFile* m_out;
    std::vector<size_t> m_order;
    std::atomic<size_t> m_next{0};
    std::vector<std::thread> m_threads;

    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_changed;
    std::vector<Slot> m_slots;
    PackProgress m_progress;
    std::string m_error;
    bool m_stop = false;
};

}  // namespace

bool PackEntries(const PackRequest& request, OutputFile* out, std::vector<SfxRecord>* records, std::string* error)
{
    Packer packer(request, out);
    return packer.Run(records, error);
}

unsigned DefaultThreadCount()
{
    const unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
}

}  // namespace sfxpack
