/* A content handler written in plain C (c_sax_handler.c), for the C++ test
 * that drives it: it creates the SAX reader through the six steps of the
 * instructions reader, parses a file and, for every start tag, records the
 * qualified name and looks one attribute up by its qualified name.
 *
 * Thread-safety: runs on the calling thread, which has COM initialised.
 * Ownership: releases the reader before it returns; the handler lives on the
 * stack and counts nothing. */
#ifndef KORVA_TESTS_PLATFORM_C_SAX_HANDLER_H_
#define KORVA_TESTS_PLATFORM_C_SAX_HANDLER_H_

#include "platform/com.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { kCSaxMaxElements = 4, kCSaxMaxText = 32 };

typedef struct CSaxResult {
  HRESULT create;  /* CoCreateInstance by class id, context 0x17, IID_IUnknown */
  HRESULT run;     /* OleRun */
  HRESULT reader;  /* QueryInterface for the reader */
  HRESULT handler; /* putContentHandler (ISAXXMLReader slot 10) */
  HRESULT parse;   /* parseURL (slot 20) */
  int elements;    /* start tags seen */
  wchar_t names[kCSaxMaxElements][kCSaxMaxText];  /* qualified names, terminated */
  HRESULT lookups[kCSaxMaxElements];              /* getValueFromQName's answers */
  wchar_t values[kCSaxMaxElements][kCSaxMaxText]; /* the values found, terminated */
} CSaxResult;

/* Steps not reached stay E_ABORT. */
void runCSaxHandler(const wchar_t* url, const wchar_t* attribute, CSaxResult* result);

#ifdef __cplusplus
}
#endif

#endif /* KORVA_TESTS_PLATFORM_C_SAX_HANDLER_H_ */
