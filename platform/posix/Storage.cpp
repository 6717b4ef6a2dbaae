// Compound files for the native build, through libgsf. This file owns every GLib object
// we touch; a GError becomes an HRESULT where it arises. Share modes are imitated with
// advisory locks: readers hold a shared flock while the root is open, the writer an
// exclusive one.
#include "platform/Storage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

#include "platform/Text.h"

namespace kalamos {

namespace {

struct TGObjectUnref {
  void operator()(void* object) const {
    if (object) g_object_unref(object);
  }
};
template <class T> using TGPtr = std::unique_ptr<T, TGObjectUnref>;

// A file descriptor that closes itself (and so drops its flock).
class TFileHandle {
public:
  explicit TFileHandle(int fd = -1) : Fd(fd) {}
  ~TFileHandle() {
    if (Fd >= 0) ::close(Fd);
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  int Fd;
};

void Quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void EnsureGsf() {
  static const bool ready = [] {
    gsf_init();
    // Damaged files make libgsf complain on stderr; we answer them with an HRESULT instead.
    // (some of its messages carry no domain at all; GLib serves nobody else here)
    for (const char* domain : {static_cast<const char*>(nullptr), "libgsf", "libgsf:msole"})
      g_log_set_handler(domain, GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING), Quiet, nullptr);
    return true;
  }();
  (void)ready;
}

// Wide name to a POSIX path: UTF-8, and a backslash separates directories as on Windows.
std::string PathOf(const WideString& fileName) {
  std::string path = WideToUtf8(fileName.data(), fileName.size());
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

bool ParentExists(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;
  std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  struct stat st;
  return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What StgOpenStorage answers for the errno of a failed open.
HRESULT HresultFromErrno(int error, const std::string& path) {
  switch (error) {
  case ENOENT: return ParentExists(path) ? STG_E_FILENOTFOUND : STG_E_PATHNOTFOUND;
  case ENOTDIR: case ENAMETOOLONG: case ELOOP: return STG_E_PATHNOTFOUND;
  case EACCES: case EPERM: case EISDIR: case EROFS: return STG_E_ACCESSDENIED;
  case ENOMEM: return STG_E_INSUFFICIENTMEMORY;
  default: return STG_E_READFAULT;
  }
}

// Opens an existing regular file for reading.
HRESULT OpenForReading(const std::string& path, TFileHandle& file, uint64_t& size) {
  file.Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file.Fd < 0) return HresultFromErrno(errno, path);
  struct stat st;
  if (::fstat(file.Fd, &st) != 0) return STG_E_READFAULT;
  if (!S_ISREG(st.st_mode)) return STG_E_ACCESSDENIED; // Windows will not open a folder as a file
  size = static_cast<uint64_t>(st.st_size);
  return S_OK;
}

bool ReadExactly(int fd, void* buffer, size_t size, off_t at) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::pread(fd, static_cast<char*>(buffer) + got, size - got, at + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

// 1 when the file starts with the compound-file signature, 0 when not, -1 on a read error.
int HasSignature(int fd, uint64_t size) {
  if (size < sizeof kCompoundFileSignature) return 0;
  unsigned char head[sizeof kCompoundFileSignature];
  if (!ReadExactly(fd, head, sizeof head, 0)) return -1;
  return std::memcmp(head, kCompoundFileSignature, sizeof head) == 0 ? 1 : 0;
}

// Where the root directory entry's sibling links lie, when they name any entry; -1 otherwise.
// Windows starts from the root's child and never looks at them; libgsf follows them with no
// parent, loses those entries for the real tree and leaks them.
off_t RootSiblingLinks(int fd, uint64_t fileSize) {
  unsigned char header[0x34];
  if (!ReadExactly(fd, header, sizeof header, 0)) return -1;
  const unsigned shift = header[0x1E] | header[0x1F] << 8;
  const uint32_t firstSector = header[0x30] | header[0x31] << 8 | header[0x32] << 16 | uint32_t(header[0x33]) << 24;
  if (shift > 31) return -1; // no such file opens at all
  const uint64_t links = ((uint64_t(firstSector) + 1) << shift) + 68;
  unsigned char both[8];
  if (links + sizeof both > fileSize || !ReadExactly(fd, both, sizeof both, static_cast<off_t>(links))) return -1;
  for (unsigned char byte : both)
    if (byte != 0xFF) return static_cast<off_t>(links);
  return -1;
}

// The whole file in memory with the root's sibling links cleared: only damaged files come here.
GsfInput* PatchedCopy(int fd, uint64_t size, off_t links) {
  guint8* bytes = size ? static_cast<guint8*>(g_try_malloc(size)) : nullptr;
  if (!bytes || !ReadExactly(fd, bytes, size, 0)) {
    g_free(bytes);
    return nullptr;
  }
  std::memset(bytes + links, 0xFF, 8);
  return gsf_input_memory_new(bytes, static_cast<gsf_off_t>(size), TRUE);
}

// libgsf reads through its own descriptor of the same open file, so it sees the locked file
// even if the name is replaced meanwhile.
HRESULT OpenFileInput(const std::string& path, int lockedFd, TGPtr<GsfInput>& input) {
  int readFd = ::fcntl(lockedFd, F_DUPFD_CLOEXEC, 0);
  if (readFd < 0) return STG_E_INSUFFICIENTMEMORY;
  FILE* stream = ::fdopen(readFd, "rb");
  if (!stream) {
    ::close(readFd);
    return STG_E_INSUFFICIENTMEMORY;
  }
  input.reset(gsf_input_stdio_new_FILE(path.c_str(), stream, FALSE));
  if (!input) {
    std::fclose(stream);
    return STG_E_READFAULT;
  }
  return S_OK;
}

HRESULT HresultFromGError(GError* error, HRESULT otherwise) {
  HRESULT hr = otherwise;
  if (error && error->domain == G_FILE_ERROR) {
    switch (error->code) {
    case G_FILE_ERROR_NOENT: hr = STG_E_FILENOTFOUND; break;
    case G_FILE_ERROR_ACCES: case G_FILE_ERROR_PERM: hr = STG_E_ACCESSDENIED; break;
    case G_FILE_ERROR_NOMEM: hr = STG_E_INSUFFICIENTMEMORY; break;
    default: break;
    }
  }
  if (error) g_error_free(error);
  return hr;
}

bool SameNameIgnoringCase(const char* a, const std::string& b) {
  return AnsiUpper(Utf8ToAnsi(a)) == AnsiUpper(Utf8ToAnsi(b));
}

} // namespace

struct TStorageImpl {
  TGPtr<GsfInfile> Infile;
  std::unique_ptr<TFileHandle> Lock; // the root's shared lock; empty for child storages
  uint64_t FileSize = 0;
};

struct TStreamImpl {
  TGPtr<GsfInput> Input;
};

TStorage::TStorage() = default;
TStorage::~TStorage() = default;
TStorage::TStorage(TStorage&&) noexcept = default;
TStorage& TStorage::operator=(TStorage&&) noexcept = default;
TStream::TStream() = default;
TStream::~TStream() = default;
TStream::TStream(TStream&&) noexcept = default;
TStream& TStream::operator=(TStream&&) noexcept = default;

HRESULT IsStorageFile(const WideString& fileName) {
  std::string path = PathOf(fileName);
  TFileHandle file;
  uint64_t size;
  HRESULT hr = OpenForReading(path, file, size);
  if (FAILED(hr)) return hr;
  int signature = HasSignature(file.Fd, size);
  if (signature < 0) return STG_E_READFAULT;
  return signature ? S_OK : S_FALSE;
}

HRESULT FileSize(const WideString& fileName, uint64_t& size) {
  TFileHandle file;
  return OpenForReading(PathOf(fileName), file, size);
}

HRESULT OpenRootStorage(const WideString& fileName, TStorage& root) {
  root.Impl.reset();
  EnsureGsf();
  std::string path = PathOf(fileName);
  auto lock = std::make_unique<TFileHandle>();
  uint64_t size = 0;
  HRESULT hr = OpenForReading(path, *lock, size);
  if (FAILED(hr)) return hr;
  if (::flock(lock->Fd, LOCK_SH | LOCK_NB) != 0)
    return errno == EWOULDBLOCK ? STG_E_SHAREVIOLATION : STG_E_LOCKVIOLATION;
  int signature = HasSignature(lock->Fd, size);
  if (signature < 0) return STG_E_READFAULT;
  if (signature == 0) return STG_E_FILEALREADYEXISTS; // what Windows says of a file that is no docfile

  TGPtr<GsfInput> input;
  const off_t links = RootSiblingLinks(lock->Fd, size);
  if (links >= 0) {
    input.reset(PatchedCopy(lock->Fd, size, links));
    if (!input) return STG_E_INSUFFICIENTMEMORY;
  } else {
    HRESULT opened = OpenFileInput(path, lock->Fd, input);
    if (FAILED(opened)) return opened;
  }
  GError* error = nullptr;
  TGPtr<GsfInfile> infile(gsf_infile_msole_new(input.get(), &error));
  if (!infile) return HresultFromGError(error, STG_E_DOCFILECORRUPT);
  if (error) g_error_free(error);

  auto impl = std::make_unique<TStorageImpl>();
  impl->Infile = std::move(infile);
  impl->Lock = std::move(lock);
  impl->FileSize = size;
  root.Impl = std::move(impl);
  return S_OK;
}

namespace {

// The child of the given name; entry names compare without regard to case, as Windows does.
TGPtr<GsfInput> FindChild(GsfInfile* parent, const WideString& name) {
  std::string utf8 = WideToUtf8(name.data(), name.size());
  if (GsfInput* exact = gsf_infile_child_by_name(parent, utf8.c_str())) return TGPtr<GsfInput>(exact);
  int count = gsf_infile_num_children(parent);
  for (int i = 0; i < count; ++i) {
    const char* childName = gsf_infile_name_by_index(parent, i);
    if (childName && SameNameIgnoringCase(childName, utf8)) {
      return TGPtr<GsfInput>(gsf_infile_child_by_index(parent, i));
    }
  }
  return nullptr;
}

bool IsStorage(GsfInput* entry) { return GSF_IS_INFILE(entry) && gsf_infile_num_children(GSF_INFILE(entry)) >= 0; }

} // namespace

HRESULT OpenChildStorage(TStorage& parent, const WideString& name, TStorage& child) {
  child.Impl.reset();
  if (!parent.Impl) return STG_E_INVALIDHANDLE;
  TGPtr<GsfInput> entry = FindChild(parent.Impl->Infile.get(), name);
  if (!entry || !IsStorage(entry.get())) return STG_E_FILENOTFOUND;
  auto impl = std::make_unique<TStorageImpl>();
  impl->Infile.reset(GSF_INFILE(entry.release()));
  impl->FileSize = parent.Impl->FileSize;
  child.Impl = std::move(impl);
  return S_OK;
}

HRESULT OpenChildStream(TStorage& parent, const WideString& name, TStream& stream) {
  stream.Impl.reset();
  if (!parent.Impl) return STG_E_INVALIDHANDLE;
  TGPtr<GsfInput> entry = FindChild(parent.Impl->Infile.get(), name);
  if (!entry || IsStorage(entry.get())) return STG_E_FILENOTFOUND;
  // A stream cannot hold more than the file does; a bigger claim is a damaged directory.
  gsf_off_t size = gsf_input_size(entry.get());
  if (size < 0 || static_cast<uint64_t>(size) > parent.Impl->FileSize) return STG_E_DOCFILECORRUPT;
  auto impl = std::make_unique<TStreamImpl>();
  impl->Input = std::move(entry);
  stream.Impl = std::move(impl);
  return S_OK;
}

HRESULT StreamSize(TStream& stream, uint64_t& size) {
  if (!stream.Impl) return STG_E_INVALIDHANDLE;
  gsf_off_t reported = gsf_input_size(stream.Impl->Input.get());
  size = reported < 0 ? 0 : static_cast<uint64_t>(reported);
  return S_OK;
}

HRESULT StreamRead(TStream& stream, void* buffer, uint32_t count, uint32_t& read) {
  read = 0;
  if (!stream.Impl) return STG_E_INVALIDHANDLE;
  if (!buffer && count) return STG_E_INVALIDPOINTER;
  GsfInput* input = stream.Impl->Input.get();
  gsf_off_t remaining = gsf_input_remaining(input);
  uint32_t wanted = remaining <= 0 ? 0 : (static_cast<uint64_t>(remaining) < count ? static_cast<uint32_t>(remaining) : count);
  if (wanted == 0) return S_OK;
  if (!gsf_input_read(input, wanted, static_cast<guint8*>(buffer))) return STG_E_READFAULT;
  read = wanted;
  return S_OK;
}

HRESULT ListChildren(TStorage& storage, std::vector<TStorageChild>& children) {
  children.clear();
  if (!storage.Impl) return STG_E_INVALIDHANDLE;
  GsfInfile* infile = storage.Impl->Infile.get();
  const int count = gsf_infile_num_children(infile);
  for (int i = 0; i < count; ++i) {
    const char* name = gsf_infile_name_by_index(infile, i);
    TGPtr<GsfInput> child(gsf_infile_child_by_index(infile, i));
    if (!name || !child) continue;
    children.push_back({Utf8ToWide(name), IsStorage(child.get())});
  }
  return S_OK;
}

namespace {

bool WriteAll(int fd, const guint8* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Builds the whole compound file in memory, so that the file is written in one go.
HRESULT BuildCompoundFile(const std::vector<TStorageEntry>& entries, GsfOutput* sink) {
  TGPtr<GsfOutfile> root(gsf_outfile_msole_new(sink));
  if (!root) return STG_E_CANTSAVE;
  std::map<WideString, TGPtr<GsfOutfile>> storages;
  bool ok = true;
  // A storage's path, made one level at a time: "A/B" is B inside A.
  std::vector<WideString> made;  // in the order made, so that inner ones close first
  std::function<GsfOutfile*(const WideString&)> storageAt = [&](const WideString& path) -> GsfOutfile* {
    if (path.empty()) return root.get();
    auto& slot = storages[path];
    if (!slot) {
      const size_t slash = path.find_last_of(L'/');
      GsfOutfile* parent = storageAt(slash == WideString::npos ? WideString() : path.substr(0, slash));
      if (!parent) return nullptr;
      const WideString leaf = slash == WideString::npos ? path : path.substr(slash + 1);
      std::string name = WideToUtf8(leaf.data(), leaf.size());
      storages[path].reset(GSF_OUTFILE(gsf_outfile_new_child(parent, name.c_str(), TRUE)));
      made.push_back(path);
    }
    return storages[path].get();
  };
  for (const TStorageEntry& entry : entries) {
    GsfOutfile* parent = storageAt(entry.storage);
    if (!parent) return STG_E_CANTSAVE;
    if (entry.stream.empty()) continue;
    std::string name = WideToUtf8(entry.stream.data(), entry.stream.size());
    TGPtr<GsfOutput> stream(gsf_outfile_new_child(parent, name.c_str(), FALSE));
    if (!stream) return STG_E_CANTSAVE;
    ok = gsf_output_write(stream.get(), entry.bytes.size(), reinterpret_cast<const guint8*>(entry.bytes.data())) && ok;
    ok = gsf_output_close(stream.get()) && ok;
  }
  for (auto path = made.rbegin(); path != made.rend(); ++path)
    ok = gsf_output_close(GSF_OUTPUT(storages[*path].get())) && ok;
  ok = gsf_output_close(GSF_OUTPUT(root.get())) && ok;
  return ok ? S_OK : STG_E_CANTSAVE;
}

} // namespace

HRESULT WriteCompoundFile(const WideString& fileName, const std::vector<TStorageEntry>& entries) {
  EnsureGsf();
  std::string path = PathOf(fileName);
  TFileHandle file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (file.Fd < 0) return HresultFromErrno(errno, path);
  if (::flock(file.Fd, LOCK_EX | LOCK_NB) != 0)
    return errno == EWOULDBLOCK ? STG_E_SHAREVIOLATION : STG_E_LOCKVIOLATION;

  TGPtr<GsfOutput> memory(gsf_output_memory_new());
  if (!memory) return STG_E_INSUFFICIENTMEMORY;
  HRESULT hr = BuildCompoundFile(entries, memory.get());
  if (FAILED(hr)) return hr;
  const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
  gsf_off_t size = gsf_output_size(memory.get());
  if (!bytes || size <= 0) return STG_E_CANTSAVE;
  // Write through the locked descriptor, so the lock covers the file readers will open.
  if (::ftruncate(file.Fd, 0) != 0 || !WriteAll(file.Fd, bytes, static_cast<size_t>(size)))
    return STG_E_WRITEFAULT;
  return S_OK;
}

}  // namespace kalamos
