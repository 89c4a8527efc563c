// CParamLineArgs: a program's command line as a table of named options and
// their values. Names are stored without their leading "-" and looked up
// without regard to case; an option given twice keeps its last value.
//
// Thread-safety: one object is used by one thread.
// Ownership: holds its own copies of every name and value.
#ifndef KORVA_SUPPORT_PARAM_LINE_ARGS_H_
#define KORVA_SUPPORT_PARAM_LINE_ARGS_H_

#include "support/containers.h"
#include "support/sstring.h"

class CParamLineArgs {
 public:
  CParamLineArgs();
  // argv is read up to its terminating null entry; argc is not used as the
  // bound. argv[0] is the program name.
  CParamLineArgs(int argc, const char* const* argv);
  CParamLineArgs(int argc, char** argv);
  // One command line, split at space, tab, carriage return and line feed; no
  // quoting. The first token is the program name.
  explicit CParamLineArgs(const char* commandLine);
  virtual ~CParamLineArgs();

  // True and *out set to the option's value (possibly ""); false and *out
  // unchanged when the option is absent.
  bool getValue(const SAnsiStringCI& name, SAnsiString* out) const;
  // The option's index, or -1.
  int indexOf(const SAnsiStringCI& name) const;
  // Stores an option at the end, removing an earlier one of the same name.
  void add(const SAnsiStringCI& name, const SAnsiStringCI& value);
  bool remove(const SAnsiStringCI& name);

  const SAnsiString& getProgramName() const { return programName_; }
  int getCount() const { return names_.getCount(); }
  const SAnsiStringCI& getNameAt(int i) const { return names_[i]; }
  const SAnsiStringCI& getValueAt(int i) const { return values_[i]; }

  // The program name, then "-" + name and, when not empty, the value, one
  // element each.
  SIArray<SAnsiString> buildArgumentArray() const;
  // The same elements joined with single blanks.
  SAnsiString buildCommandLine() const;

 private:
  // Steps through the elements after the program name.
  void parse(const SIArray<SAnsiString>& elements);

  SIArray<SAnsiStringCI> names_;
  SIArray<SAnsiStringCI> values_;
  SAnsiString programName_;
};

#endif  // KORVA_SUPPORT_PARAM_LINE_ARGS_H_
