// Writing an export all or nothing (see export_writer.h).
#include "reportserver/admin/export_writer.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

#include "platform/crt_path.h"
#include "platform/file_name_utf8.h"
#include "platform/filesys.h"
#include "platform/new_tree.h"

namespace korva {
namespace {

std::string q(const std::string& text) { return "\"" + text + "\""; }

// Whether out is free for the export: absent, or an empty directory.
bool destinationFree(const std::string& out, std::string* error) {
  FileStatus status;
  const int failure = fileSystem().getStatus(out, &status);
  if (failure == ENOENT) return true;
  bool empty = failure == 0 && status.isDirectory;
  if (empty) {
    std::unique_ptr<DirectoryReader> reader;
    std::string name;
    int listing = fileSystem().openDirectory(out, &reader);
    while (listing == 0 && empty && reader->next(&name, &listing)) {
      empty = name == "." || name == "..";
    }
    if (listing != 0) {
      *error = "Cannot read the directory " + q(out) + ": " + errorText(listing) + ".";
      return false;
    }
  } else if (failure != 0) {
    *error = "Cannot read " + q(out) + ": " + errorText(failure) + ".";
    return false;
  }
  if (!empty) *error = q(out) + " exists and is not an empty directory.";
  return empty;
}

// A report's file into a new local file, checked against what the plan read.
class FileSink : public ReportFileSink {
 public:
  FileSink(std::FILE* f, const ExportFile& expected) : f_(f), expected_(expected) {}

  bool begin(const StoredFile& file) override {
    changed_ = file.size != expected_.size || file.sha256 != expected_.sha256;
    return !changed_;
  }
  bool write(const void* data, size_t size) override {
    if (std::fwrite(data, 1, size, f_) != size) {
      writeError_ = errno ? errno : EIO;
      return false;
    }
    written_ += static_cast<int64_t>(size);
    return true;
  }

  // Whether the file is not the one the plan read: another size or digest
  // at the start, or other bytes than that size.
  bool changed(bool read) const { return changed_ || (read && written_ != expected_.size); }
  int writeError() const { return writeError_; }

 private:
  std::FILE* f_;
  const ExportFile& expected_;
  bool changed_ = false;
  int writeError_ = 0;
  int64_t written_ = 0;
};

// Closes the file; 0 or the error number of the last write or the close.
int closed(StdioFile file) {
  std::FILE* f = file.release();
  const bool failed = std::ferror(f) != 0;
  errno = 0;
  const bool closeFailed = std::fclose(f) != 0;
  if (!failed && !closeFailed) return 0;
  return errno ? errno : EIO;
}

class Writer {
 public:
  Writer(ExportSource& source, std::string* error) : source_(source), error_(error) {}

  // Makes the directory beside out that the export is filled in.
  bool begin(const std::string& out) {
    for (int n = 1; n <= 1000; ++n) {
      const std::string candidate = out + ".partial-" + std::to_string(n);
      const int failure = newTree().makeDirectory(candidate);
      if (failure == 0) {
        partial_ = candidate;
        return true;
      }
      if (failure != EEXIST) return fail("Cannot make the directory " + q(candidate), failure);
    }
    *error_ = "Cannot make a directory beside " + q(out) + ": every name tried is taken.";
    return false;
  }

  bool directory(const ExportPath& path) {
    std::string local;
    if (!localPath(path, &local)) return false;
    const int failure = newTree().makeDirectory(local);
    return failure == 0 || fail("Cannot make the directory " + q(local), failure);
  }

  bool reportFile(const ExportFile& file) {
    std::string local;
    if (!localPath(file.path, &local)) return false;
    int failure = 0;
    StdioFile f = newTree().createFile(local, &failure);
    if (!f) return fail("Cannot create the file " + q(local), failure);
    FileSink sink(f.get(), file);
    std::string reading;
    const bool read = source_.readReportFile(file.reportId, sink, &reading);
    failure = closed(std::move(f));
    const std::string of = "the file of report " + q(file.report);
    if (sink.writeError() || (read && failure)) {
      return fail("Cannot write " + of, sink.writeError() ? sink.writeError() : failure);
    }
    if (sink.changed(read)) {
      *error_ =
          "The file of report " + q(file.report) + " changed while it was exported; export again.";
      return false;
    }
    if (!read) *error_ = "Cannot read " + of + ": " + reading;
    return read;
  }

  bool textFile(const std::string& name, const std::string& text) {
    const std::string local = partial_ + kNativePathSeparator + name;
    int failure = 0;
    StdioFile f = newTree().createFile(local, &failure);
    if (!f) return fail("Cannot create the file " + q(local), failure);
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
    const int writeError = written ? 0 : errno ? errno : EIO;
    failure = closed(std::move(f));
    if (writeError) failure = writeError;
    return failure == 0 || fail("Cannot write the file " + q(local), failure);
  }

  bool finish(const std::string& out) {
    const int failure = newTree().moveDirectory(partial_, out);
    if (failure == ENOTEMPTY || failure == EEXIST || failure == ENOTDIR) {
      *error_ = q(out) + " exists and is not an empty directory.";
      return false;
    }
    if (failure != 0) return fail("Cannot give " + q(partial_) + " the name " + q(out), failure);
    partial_.clear();
    return true;
  }

  // Removes what was made after a failure, and says so when it cannot.
  void undo() {
    if (partial_.empty()) return;
    const int failure = newTree().removeTree(partial_);
    if (failure != 0) {
      *error_ += " The unfinished directory " + q(partial_) +
                 " could not be removed: " + errorText(failure) + ".";
    }
  }

 private:
  bool fail(const std::string& what, int failure) {
    *error_ = what + ": " + errorText(failure) + ".";
    return false;
  }

  // The path of an entry of reports/ in this system's file names.
  bool localPath(const ExportPath& path, std::string* local) {
    *local = partial_ + kNativePathSeparator + "reports";
    for (const std::string& name : path) {
      std::string spelled;
      if (!fileNameFromUtf8(name, &spelled)) {
        *error_ = "The name " + q(name) + " cannot be spelled in this system's file names.";
        return false;
      }
      *local += kNativePathSeparator + spelled;
    }
    return true;
  }

  ExportSource& source_;
  std::string* error_;
  std::string partial_;
};

}  // namespace

bool writeExport(const ExportPlan& plan, ExportSource& source, const std::string& outDir,
                 std::string* error) {
  const std::string out = withoutTrailingSeparators(outDir);
  if (!destinationFree(out, error)) return false;
  Writer writer(source, error);
  if (!writer.begin(out)) return false;
  bool ok = writer.directory({});
  for (size_t i = 0; ok && i < plan.directories.size(); ++i) {
    ok = writer.directory(plan.directories[i]);
  }
  for (size_t i = 0; ok && i < plan.files.size(); ++i) ok = writer.reportFile(plan.files[i]);
  ok = ok && writer.textFile("publish.xml", plan.instructions) && writer.finish(out);
  if (!ok) writer.undo();
  return ok;
}

}  // namespace korva
