/* A client of the report server written in plain C (c_layout_client.c), for
 * the C++ test that drives it: it logs on, gets the InfoStore through
 * getService and QueryInterface, runs one query and reads the count and the
 * first item's title and id. Each step's result is kept.
 *
 * Thread-safety: runs on the calling thread, which has COM initialised.
 * Ownership: the client releases everything it obtained before it returns. */
#ifndef KORVA_TESTS_REPORTSERVER_C_LAYOUT_CLIENT_H_
#define KORVA_TESTS_REPORTSERVER_C_LAYOUT_CLIENT_H_

#include "platform/com.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CClientResult {
  HRESULT create;    /* CoCreateInstance of the session manager */
  HRESULT logon;     /* SessionManager slot 7 */
  HRESULT service;   /* Session slot 17 */
  HRESULT infoStore; /* QueryInterface of the service for the InfoStore */
  HRESULT query;     /* InfoStore slot 7 */
  HRESULT count;     /* InfoObjects slot 11 */
  HRESULT item;      /* InfoObjects slot 12, position 1 */
  HRESULT title;     /* InfoObject slot 12 */
  HRESULT id;        /* InfoObject slot 10 */
  LONG itemCount;
  LONG firstId;
  wchar_t firstTitle[64]; /* terminated, cut to fit */
} CClientResult;

/* Runs the steps until one fails; the results of steps not reached stay E_ABORT. */
void runCClient(const wchar_t* user, const wchar_t* password, const wchar_t* aps,
                const wchar_t* query, CClientResult* result);

#ifdef __cplusplus
}
#endif

#endif /* KORVA_TESTS_REPORTSERVER_C_LAYOUT_CLIENT_H_ */
