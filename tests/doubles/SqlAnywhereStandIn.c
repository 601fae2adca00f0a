/* A stand-in ODBC driver for the SQL Anywhere drivers, which cannot be installed here: an i386
 * Linux shared object that unixODBC loads for Wine's 32-bit odbc32. It writes every connection
 * string, connection attribute and statement to $UPDATER_STANDIN/record and answers from
 * $UPDATER_STANDIN/script, read anew at every call, one rule per line, fields split by tabs:
 *
 *   connect    <part>  accept
 *   connect    <part>  refuse  <SQLSTATE>  <message>
 *   statement  <part>  rows    <col,col>  <v,v>  <v,v> ...
 *   statement  <part>  error   <SQLSTATE>  <message>
 *
 * The first rule whose part occurs in the text decides ("*" matches anything). A rule whose first
 * word is "once-connect" or "once-statement" fires one time: the driver turns it into "spent".
 * Without a rule a connection is refused as a server that is not there, and a statement succeeds
 * without rows. Only the ANSI entry points are given, so the driver manager converts the wide
 * calls; SQLLEN is 32 bits on i386. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef void* SQLHANDLE;
typedef short SQLSMALLINT;
typedef unsigned short SQLUSMALLINT;
typedef int SQLINTEGER;
typedef int SQLLEN;
typedef unsigned int SQLULEN;
typedef SQLSMALLINT SQLRETURN;
typedef unsigned char SQLCHAR;
typedef void* SQLPOINTER;

enum { SQL_SUCCESS = 0, SQL_SUCCESS_WITH_INFO = 1, SQL_ERROR = -1, SQL_INVALID_HANDLE = -2, SQL_NO_DATA = 100 };
enum { SQL_HANDLE_ENV = 1, SQL_HANDLE_DBC = 2, SQL_HANDLE_STMT = 3 };
enum { SQL_C_CHAR = 1, SQL_C_WCHAR = -8, SQL_VARCHAR = 12, SQL_NULL_DATA = -1, SQL_NTS = -3 };
enum { SQL_CLOSE = 0, SQL_DROP = 1 };

#define MAX_COLUMNS 16
#define MAX_ROWS 64
#define MAX_TEXT 4096

typedef struct Diag {
  char state[6];
  char message[512];
  int present;
} Diag;

typedef struct Env {
  Diag diag;
} Env;

typedef struct Dbc {
  Diag diag;
  int connected;
} Dbc;

typedef struct Stmt {
  Diag diag;
  Dbc* dbc;
  int columns, rows, row; /* row: 0 before the first fetch */
  char names[MAX_COLUMNS][64];
  char values[MAX_ROWS][MAX_COLUMNS][128];
  int offset[MAX_COLUMNS]; /* how much of the current value SQLGetData has handed out */
} Stmt;

static char* Path(const char* name) {
  static char path[2][1024];
  static int which;
  const char* dir = getenv("UPDATER_STANDIN");
  which ^= 1;
  snprintf(path[which], sizeof path[which], "%s/%s", dir ? dir : "/tmp", name);
  return path[which];
}

static void Record(const char* kind, const char* text, int length) {
  FILE* f = fopen(Path("record"), "ab");
  if (!f) return;
  fprintf(f, "%s\t", kind);
  for (int i = 0; length == SQL_NTS ? text[i] != 0 : i < length; ++i) {
    if (text[i] == '\r') fputs("\\r", f);
    else if (text[i] == '\n') fputs("\\n", f);
    else fputc(text[i], f);
  }
  fputc('\n', f);
  fclose(f);
}

static void SetDiag(Diag* d, const char* state, const char* message) {
  snprintf(d->state, sizeof d->state, "%s", state);
  snprintf(d->message, sizeof d->message, "%s", message);
  d->present = 1;
}

/* Splits a line at its tabs in place; returns the number of fields. */
static int Fields(char* line, char** field, int most) {
  int n = 0;
  line[strcspn(line, "\r\n")] = 0;
  while (n < most) {
    field[n++] = line;
    char* tab = strchr(line, '\t');
    if (!tab) break;
    *tab = 0;
    line = tab + 1;
  }
  return n;
}

/* Finds the rule of this kind for the text; copies its fields into rule[] (from a static
 * buffer). Spends a one-time rule. */
static int FindRule(const char* kind, const char* text, char** rule, int most) {
  static char lines[256][MAX_TEXT];
  FILE* f = fopen(Path("script"), "rb");
  if (!f) return 0;
  int count = 0;
  while (count < 256 && fgets(lines[count], MAX_TEXT, f)) ++count;
  fclose(f);
  int found = -1, n = 0;
  for (int i = 0; i < count && found < 0; ++i) {
    char copy[MAX_TEXT];
    memcpy(copy, lines[i], MAX_TEXT);
    char* field[32];
    const int k = Fields(copy, field, 32);
    const int once = strncmp(field[0], "once-", 5) == 0;
    if (k < 3 || strcmp(field[0] + (once ? 5 : 0), kind) != 0) continue;
    if (strcmp(field[1], "*") != 0 && !strstr(text, field[1])) continue;
    found = i;
    if (once) {
      memcpy(lines[i], "spent", 5);  /* "once-" has five letters too */
      FILE* w = fopen(Path("script"), "wb");
      if (w) {
        for (int j = 0; j < count; ++j) fputs(lines[j], w);
        fclose(w);
      }
    }
  }
  if (found < 0) return 0;
  static char chosen[MAX_TEXT];
  memcpy(chosen, lines[found], MAX_TEXT);
  n = Fields(chosen, rule, most);
  return n;
}

SQLRETURN SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  switch (type) {
    case SQL_HANDLE_ENV: *output = calloc(1, sizeof(Env)); break;
    case SQL_HANDLE_DBC: *output = calloc(1, sizeof(Dbc)); break;
    case SQL_HANDLE_STMT: {
      Stmt* s = calloc(1, sizeof(Stmt));
      if (s) s->dbc = input;
      *output = s;
      break;
    }
    default: return SQL_ERROR;
  }
  return *output ? SQL_SUCCESS : SQL_ERROR;
}

SQLRETURN SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  (void)type;
  free(handle);
  return SQL_SUCCESS;
}

SQLRETURN SQLSetEnvAttr(SQLHANDLE env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  (void)env; (void)attribute; (void)value; (void)length;
  return SQL_SUCCESS;
}

SQLRETURN SQLGetEnvAttr(SQLHANDLE env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER size, SQLINTEGER* length) {
  (void)env; (void)attribute; (void)size;
  if (value) *(SQLINTEGER*)value = 3;
  if (length) *length = sizeof(SQLINTEGER);
  return SQL_SUCCESS;
}

SQLRETURN SQLSetConnectAttr(SQLHANDLE dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
  (void)dbc; (void)length;
  char text[64];
  snprintf(text, sizeof text, "%d=%lu", (int)attribute, (unsigned long)(uintptr_t)value);
  Record("attribute", text, SQL_NTS);
  return SQL_SUCCESS;
}

SQLRETURN SQLGetConnectAttr(SQLHANDLE dbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER size, SQLINTEGER* length) {
  (void)dbc; (void)attribute; (void)size;
  if (value) *(SQLINTEGER*)value = 0;
  if (length) *length = sizeof(SQLINTEGER);
  return SQL_SUCCESS;
}

SQLRETURN SQLDriverConnect(SQLHANDLE handle, SQLPOINTER window, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out,
                           SQLSMALLINT outSize, SQLSMALLINT* outLength, SQLUSMALLINT completion) {
  (void)window; (void)completion;
  Dbc* dbc = handle;
  dbc->diag.present = 0;
  char text[MAX_TEXT];
  const int n = inLength == SQL_NTS ? (int)strlen((const char*)in) : inLength;
  snprintf(text, sizeof text, "%.*s", n, (const char*)in);
  Record("connect", text, SQL_NTS);
  char* rule[8];
  const int k = FindRule("connect", text, rule, 8);
  if (k >= 3 && strcmp(rule[2], "accept") == 0) {
    dbc->connected = 1;
    if (out && outSize > 0) snprintf((char*)out, (size_t)outSize, "%s", text);
    if (outLength) *outLength = (SQLSMALLINT)strlen(text);
    return SQL_SUCCESS;
  }
  if (k >= 5) SetDiag(&dbc->diag, rule[3], rule[4]);
  else SetDiag(&dbc->diag, "08001", "Database server not found");
  return SQL_ERROR;
}

SQLRETURN SQLConnect(SQLHANDLE dbc, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR* user, SQLSMALLINT userLength,
                     SQLCHAR* password, SQLSMALLINT passwordLength) {
  (void)dsn; (void)dsnLength; (void)user; (void)userLength; (void)password; (void)passwordLength;
  SetDiag(&((Dbc*)dbc)->diag, "IM001", "Only SQLDriverConnect is supported");
  return SQL_ERROR;
}

SQLRETURN SQLDisconnect(SQLHANDLE handle) {
  ((Dbc*)handle)->connected = 0;
  Record("disconnect", "", SQL_NTS);
  return SQL_SUCCESS;
}

SQLRETURN SQLGetInfo(SQLHANDLE dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size, SQLSMALLINT* length) {
  (void)dbc;
  enum { SQL_DRIVER_ODBC_VER = 77, SQL_DBMS_NAME = 17, SQL_DRIVER_NAME = 6 };
  const char* text = type == SQL_DRIVER_ODBC_VER ? "03.00" : type == SQL_DBMS_NAME ? "SQL Anywhere"
                     : type == SQL_DRIVER_NAME   ? "standin.so" : NULL;
  if (text) {
    if (value && size > 0) snprintf(value, (size_t)size, "%s", text);
    if (length) *length = (SQLSMALLINT)strlen(text);
  } else {
    /* Numeric answers: zero, except that cursors survive a commit (SQL_CB_PRESERVE). */
    if (value) *(SQLINTEGER*)value = (type == 23 || type == 24) ? 2 : 0;
    if (length) *length = sizeof(SQLINTEGER);
  }
  return SQL_SUCCESS;
}

static SQLRETURN Answer(Stmt* s, const char* sql) {
  Record("statement", sql, SQL_NTS);
  s->diag.present = 0;
  s->columns = s->rows = s->row = 0;
  char* rule[2 + 2 + MAX_ROWS];
  const int k = FindRule("statement", sql, rule, 2 + 2 + MAX_ROWS);
  if (k < 3) return SQL_SUCCESS;
  if (strcmp(rule[2], "error") == 0) {
    SetDiag(&s->diag, k > 3 ? rule[3] : "HY000", k > 4 ? rule[4] : "error by the script");
    if (k > 4 && strstr(rule[4], "Connection was terminated")) s->dbc->connected = 0;
    return SQL_ERROR;
  }
  if (strcmp(rule[2], "rows") != 0 || k < 4) return SQL_SUCCESS;
  for (char* name = strtok(rule[3], ","); name && s->columns < MAX_COLUMNS; name = strtok(NULL, ","))
    snprintf(s->names[s->columns++], 64, "%s", name);
  for (int r = 4; r < k && s->rows < MAX_ROWS; ++r, ++s->rows) {
    char* value = rule[r];
    for (int c = 0; c < s->columns; ++c) {
      char* comma = value ? strchr(value, ',') : NULL;
      if (comma) *comma = 0;
      snprintf(s->values[s->rows][c], 128, "%s", value ? value : "");
      value = comma ? comma + 1 : NULL;
    }
  }
  return SQL_SUCCESS;
}

SQLRETURN SQLExecDirect(SQLHANDLE handle, SQLCHAR* text, SQLINTEGER length) {
  char sql[MAX_TEXT];
  const int n = length == SQL_NTS ? (int)strlen((const char*)text) : length;
  snprintf(sql, sizeof sql, "%.*s", n, (const char*)text);
  return Answer(handle, sql);
}

SQLRETURN SQLNumResultCols(SQLHANDLE handle, SQLSMALLINT* count) {
  *count = (SQLSMALLINT)((Stmt*)handle)->columns;
  return SQL_SUCCESS;
}

SQLRETURN SQLDescribeCol(SQLHANDLE handle, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT size, SQLSMALLINT* length,
                         SQLSMALLINT* type, SQLULEN* columnSize, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  Stmt* s = handle;
  if (column < 1 || column > s->columns) {
    SetDiag(&s->diag, "07009", "Invalid descriptor index");
    return SQL_ERROR;
  }
  const char* text = s->names[column - 1];
  if (name && size > 0) snprintf((char*)name, (size_t)size, "%s", text);
  if (length) *length = (SQLSMALLINT)strlen(text);
  if (type) *type = SQL_VARCHAR;
  if (columnSize) *columnSize = 128;
  if (digits) *digits = 0;
  if (nullable) *nullable = 1;
  return SQL_SUCCESS;
}

SQLRETURN SQLFetch(SQLHANDLE handle) {
  Stmt* s = handle;
  if (s->row >= s->rows) return SQL_NO_DATA;
  ++s->row;
  memset(s->offset, 0, sizeof s->offset);
  return SQL_SUCCESS;
}

/* Hands out a value in pieces, as text or as UTF-16 (the values are ASCII or UTF-8 Korean). */
SQLRETURN SQLGetData(SQLHANDLE handle, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER target, SQLLEN size,
                     SQLLEN* indicator) {
  Stmt* s = handle;
  if (s->row < 1 || column < 1 || column > s->columns) {
    SetDiag(&s->diag, "07009", "Invalid descriptor index");
    return SQL_ERROR;
  }
  const char* value = s->values[s->row - 1][column - 1];
  if (strcmp(value, "NULL") == 0) {
    if (indicator) *indicator = SQL_NULL_DATA;
    return SQL_SUCCESS;
  }
  unsigned short wide[256];
  int units = 0;
  if (type == SQL_C_WCHAR) {
    for (const unsigned char* p = (const unsigned char*)value; *p && units < 255;) {
      unsigned int c = *p++;
      if (c >= 0xE0 && p[0] && p[1]) { c = ((c & 0x0F) << 12) | ((p[0] & 0x3F) << 6) | (p[1] & 0x3F); p += 2; }
      else if (c >= 0xC0 && p[0]) { c = ((c & 0x1F) << 6) | (p[0] & 0x3F); p += 1; }
      wide[units++] = (unsigned short)c;
    }
  }
  const int unit = type == SQL_C_WCHAR ? 2 : 1;
  const int total = type == SQL_C_WCHAR ? units : (int)strlen(value);
  int* at = &s->offset[column - 1];
  if (*at > 0 && *at >= total) return SQL_NO_DATA;
  const int left = total - *at;
  const int room = size / unit - 1;
  const int give = left < room ? left : (room > 0 ? room : 0);
  if (type == SQL_C_WCHAR) {
    memcpy(target, wide + *at, (size_t)give * 2);
    ((unsigned short*)target)[give] = 0;
  } else {
    memcpy(target, value + *at, (size_t)give);
    ((char*)target)[give] = 0;
  }
  if (indicator) *indicator = left * unit;
  *at += give;
  if (give < left) {
    SetDiag(&s->diag, "01004", "String data, right truncated");
    return SQL_SUCCESS_WITH_INFO;
  }
  if (total == 0) *at = 1;  /* an empty value is handed out once */
  return SQL_SUCCESS;
}

SQLRETURN SQLRowCount(SQLHANDLE handle, SQLLEN* count) {
  *count = ((Stmt*)handle)->rows;
  return SQL_SUCCESS;
}

SQLRETURN SQLFreeStmt(SQLHANDLE handle, SQLUSMALLINT option) {
  if (option == SQL_DROP) {
    free(handle);
    return SQL_SUCCESS;
  }
  if (option == SQL_CLOSE) ((Stmt*)handle)->rows = ((Stmt*)handle)->row = 0;
  return SQL_SUCCESS;
}

SQLRETURN SQLCloseCursor(SQLHANDLE handle) { return SQLFreeStmt(handle, SQL_CLOSE); }

SQLRETURN SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
  (void)type; (void)handle; (void)completion;
  return SQL_SUCCESS;
}

SQLRETURN SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state, SQLINTEGER* native,
                        SQLCHAR* message, SQLSMALLINT size, SQLSMALLINT* length) {
  Diag* d = type == SQL_HANDLE_ENV ? &((Env*)handle)->diag
            : type == SQL_HANDLE_DBC ? &((Dbc*)handle)->diag : &((Stmt*)handle)->diag;
  if (record != 1 || !d->present) return SQL_NO_DATA;
  if (state) memcpy(state, d->state, 6);
  if (native) *native = -100;
  if (message && size > 0) snprintf((char*)message, (size_t)size, "%s", d->message);
  if (length) *length = (SQLSMALLINT)strlen(d->message);
  return SQL_SUCCESS;
}

/* The driver manager counts the records through this before it reads them. */
SQLRETURN SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                          SQLSMALLINT size, SQLSMALLINT* length) {
  enum { NUMBER = 2, SQLSTATE = 4, NATIVE = 5, MESSAGE = 6 };
  Diag* d = type == SQL_HANDLE_ENV ? &((Env*)handle)->diag
            : type == SQL_HANDLE_DBC ? &((Dbc*)handle)->diag : &((Stmt*)handle)->diag;
  if (record == 0 && field == NUMBER) {
    if (value) *(SQLINTEGER*)value = d->present ? 1 : 0;
    return SQL_SUCCESS;
  }
  if (record != 1 || !d->present) return SQL_NO_DATA;
  const char* text = field == SQLSTATE ? d->state : field == MESSAGE ? d->message : field == NATIVE ? NULL : "";
  if (!text) {
    if (value) *(SQLINTEGER*)value = -100;
    return SQL_SUCCESS;
  }
  if (value && size > 0) snprintf(value, (size_t)size, "%s", text);
  if (length) *length = (SQLSMALLINT)strlen(text);
  return SQL_SUCCESS;
}
