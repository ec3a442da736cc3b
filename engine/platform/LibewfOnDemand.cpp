// The libewf functions the engine calls, each loading libewf on its first call: linked as usual,
// libewf's relocations cost each start of the command line half of its time, and most runs read
// no E01 image. Without libewf installed, every call fails as libewf reports a failure.
#include <dlfcn.h>
#include <fcntl.h>
#include <libewf.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace {

// The library the package depends on.
constexpr char LibewfName[] = "libewf.so.2";

void* Libewf() {
  static void* const library = ::dlopen(LibewfName, RTLD_NOW | RTLD_LOCAL);
  return library;
}

// Calls the library's function of the same name and type as Declared, found once.
template <auto& Declared, typename... Arguments>
auto Forward(const char* name, Arguments... arguments) {
  using Function = std::remove_reference_t<decltype(Declared)>;
  static Function* const resolved =
      Libewf() != nullptr ? reinterpret_cast<Function*>(::dlsym(Libewf(), name)) : nullptr;
  using Result = std::invoke_result_t<Function*, Arguments...>;
  if constexpr (std::is_void_v<Result>) {
    if (resolved != nullptr) resolved(arguments...);
  } else {
    return resolved != nullptr ? resolved(arguments...) : Result{-1};
  }
}

// How the segment files of the EWF formats begin (E01, L01, Ex01, Lx01).
constexpr std::array<std::string_view, 4> EwfSignatures = {
    std::string_view("EVF\x09\x0d\x0a\xff\x00", 8), std::string_view("LVF\x09\x0d\x0a\xff\x00", 8),
    std::string_view("EVF2\x0d\x0a\x81\x00", 8), std::string_view("LEF2\x0d\x0a\x81\x00", 8)};

// Whether the file could be an EWF segment at all, read without libewf: a raw image, the usual
// source, is told apart without loading it.
bool MayBeEwf(const char* filename) {
  const int fd = ::open(filename, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return true;  // libewf says why
  char start[8] = {};
  const ssize_t got = ::pread(fd, start, sizeof start, 0);
  ::close(fd);
  if (got != static_cast<ssize_t>(sizeof start)) return false;
  for (const std::string_view signature : EwfSignatures) {
    if (std::memcmp(start, signature.data(), signature.size()) == 0) return true;
  }
  return false;
}

}  // namespace

extern "C" {

int libewf_check_file_signature(const char* filename, libewf_error_t** error) {
  if (!MayBeEwf(filename)) return 0;
  return Forward<libewf_check_file_signature>("libewf_check_file_signature", filename, error);
}

int libewf_glob(const char* filename, size_t filenameLength, uint8_t format, char** filenames[],
                int* numberOfFilenames, libewf_error_t** error) {
  return Forward<libewf_glob>("libewf_glob", filename, filenameLength, format, filenames, numberOfFilenames, error);
}

int libewf_glob_free(char* filenames[], int numberOfFilenames, libewf_error_t** error) {
  return Forward<libewf_glob_free>("libewf_glob_free", filenames, numberOfFilenames, error);
}

int libewf_handle_initialize(libewf_handle_t** handle, libewf_error_t** error) {
  return Forward<libewf_handle_initialize>("libewf_handle_initialize", handle, error);
}

int libewf_handle_open(libewf_handle_t* handle, char* const filenames[], int numberOfFilenames, int accessFlags,
                       libewf_error_t** error) {
  return Forward<libewf_handle_open>("libewf_handle_open", handle, filenames, numberOfFilenames, accessFlags, error);
}

int libewf_handle_close(libewf_handle_t* handle, libewf_error_t** error) {
  return Forward<libewf_handle_close>("libewf_handle_close", handle, error);
}

int libewf_handle_free(libewf_handle_t** handle, libewf_error_t** error) {
  return Forward<libewf_handle_free>("libewf_handle_free", handle, error);
}

ssize_t libewf_handle_read_random(libewf_handle_t* handle, void* buffer, size_t bufferSize, off64_t offset,
                                  libewf_error_t** error) {
  return Forward<libewf_handle_read_random>("libewf_handle_read_random", handle, buffer, bufferSize, offset, error);
}

int libewf_handle_segment_files_corrupted(libewf_handle_t* handle, libewf_error_t** error) {
  return Forward<libewf_handle_segment_files_corrupted>("libewf_handle_segment_files_corrupted", handle, error);
}

int libewf_handle_get_media_size(libewf_handle_t* handle, size64_t* mediaSize, libewf_error_t** error) {
  return Forward<libewf_handle_get_media_size>("libewf_handle_get_media_size", handle, mediaSize, error);
}

int libewf_handle_get_bytes_per_sector(libewf_handle_t* handle, uint32_t* bytesPerSector, libewf_error_t** error) {
  return Forward<libewf_handle_get_bytes_per_sector>("libewf_handle_get_bytes_per_sector", handle, bytesPerSector,
                                                      error);
}

int libewf_handle_get_number_of_checksum_errors(libewf_handle_t* handle, uint32_t* numberOfErrors,
                                                libewf_error_t** error) {
  return Forward<libewf_handle_get_number_of_checksum_errors>("libewf_handle_get_number_of_checksum_errors", handle,
                                                               numberOfErrors, error);
}

int libewf_handle_get_checksum_error(libewf_handle_t* handle, uint32_t index, uint64_t* startSector,
                                     uint64_t* numberOfSectors, libewf_error_t** error) {
  return Forward<libewf_handle_get_checksum_error>("libewf_handle_get_checksum_error", handle, index, startSector,
                                                    numberOfSectors, error);
}

int libewf_error_sprint(libewf_error_t* error, char* string, size_t size) {
  return Forward<libewf_error_sprint>("libewf_error_sprint", error, string, size);
}

void libewf_error_free(libewf_error_t** error) { Forward<libewf_error_free>("libewf_error_free", error); }
}
