#include "platform/FileStamp.h"

#include "platform/FileOps.h"

#include <openssl/evp.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileStamp stampOf(const struct stat& st)
{
    FileStamp stamp;
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = quint64(st.st_ino);
    stamp.device = quint64(st.st_dev);
    return stamp;
}

int writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 ? EIO : errno;
        data += n;
        size -= size_t(n);
    }
    return 0;
}

} // namespace

int FileStamp::of(const QString& path, FileStamp& stamp)
{
    struct stat st;
    if (FileOps::SystemCalls::instance().stat(path.toUtf8().constData(), &st) != 0)
        return errno;
    stamp = stampOf(st);
    return 0;
}

int copyHashed(const QString& source, const QString& target, QByteArray* sha256, FileStamp* sourceStamp,
               bool* readFailed, QByteArray* header)
{
    if (header)
        header->clear();
    bool fromSource = true;
    const auto fail = [&](int err) {
        if (readFailed)
            *readFailed = fromSource;
        return err;
    };
    // Never waits on a pipe or a device put in the file's place.
    const int in = ::open(source.toUtf8().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return fail(errno);
    struct stat st;
    int err = ::fstat(in, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (err == 0 && ::fcntl(in, F_SETFL, 0) != 0)
        err = errno;
    int out = -1;
    if (err == 0 && !target.isEmpty()) {
        out = ::open(target.toUtf8().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (out < 0) {
            err = errno;
            fromSource = false;
        }
    }
    // The system's cryptographic library: several times faster than the toolkit's own
    // hash on processors with SHA instructions, and a register is hashed at every Save.
    const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> hash(sha256 ? EVP_MD_CTX_new() : nullptr,
                                                                  EVP_MD_CTX_free);
    if (err == 0 && sha256 && (!hash || EVP_DigestInit_ex(hash.get(), EVP_sha256(), nullptr) != 1))
        err = ENOMEM;
    char buffer[1 << 16];
    while (err == 0) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            err = errno;
        if (n <= 0)
            break;
        if (hash)
            EVP_DigestUpdate(hash.get(), buffer, size_t(n));
        if (header && header->size() < 100)
            header->append(buffer, qMin<qsizetype>(n, 100 - header->size()));
        err = out >= 0 ? writeAll(out, buffer, size_t(n)) : 0;
        fromSource = err == 0;
    }
    ::close(in);
    if (out >= 0 && ::close(out) != 0 && err == 0) {
        err = errno;
        fromSource = false;
    }
    if (err != 0)
        return fail(err);
    if (sha256) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(hash.get(), digest, &size);
        *sha256 = QByteArray(reinterpret_cast<const char*>(digest), int(size));
    }
    if (sourceStamp)
        *sourceStamp = stampOf(st);
    return 0;
}
