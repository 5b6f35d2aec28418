#pragma once

// Our own declarations of the part of the Oracle Call Interface that the
// adapter calls. The library is loaded at run time (connections/oracle/ociloader.h),
// so nothing here links against it: the types, constants and function-pointer
// types below restate the public OCI reference, and TAVREX_OCI_FUNCTIONS is
// the one list of functions that the loader resolves. The test double
// (tests/support/ocidouble) exports them from declarations of its own, written
// apart from these, so a wrong constant or signature here fails its tests.
//
// The OCI names are kept exactly as the reference spells them (OCIEnv,
// OCI_HTYPE_ENV, OCIStmtExecute), so every line can be checked against it.

#include <cstddef>

namespace tavrex::oci {

// ------------------------------------------------------------ base types
using ub1 = unsigned char;
using sb1 = signed char;
using ub2 = unsigned short;
using sb2 = short;
using ub4 = unsigned int;
using sb4 = int;
using ub8 = unsigned long long;
using sb8 = long long;
using sword = int;
using OraText = unsigned char;

// Opaque handles: only pointers to them are ever used.
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIServer;
struct OCISession;
struct OCIBind;
struct OCIDefine;
struct OCIParam;
struct OCISnapshot;
struct OCILobLocator;
struct OCIDateTime;  // a TIMESTAMP value (descriptor OCI_DTYPE_TIMESTAMP)
struct OCIInterval;  // an INTERVAL DAY TO SECOND value (OCI_DTYPE_INTERVAL_DS)

// ------------------------------------------------------------ constants
// Handle and descriptor types.
constexpr ub4 OCI_HTYPE_ENV = 1;
constexpr ub4 OCI_HTYPE_ERROR = 2;
constexpr ub4 OCI_HTYPE_SVCCTX = 3;
constexpr ub4 OCI_HTYPE_STMT = 4;
constexpr ub4 OCI_HTYPE_SERVER = 8;
constexpr ub4 OCI_HTYPE_SESSION = 9;
constexpr ub4 OCI_DTYPE_LOB = 50;     // a LOB locator (OCIDescriptorAlloc)
constexpr ub4 OCI_DTYPE_PARAM = 53;
// Datetime and interval descriptors, allocated with OCIDescriptorAlloc and
// defined by address like LOB locators (oci.h; ODPI-C dpiImpl.h
// DPI_OCI_DTYPE_TIMESTAMP / DPI_OCI_DTYPE_INTERVAL_DS).
constexpr ub4 OCI_DTYPE_INTERVAL_DS = 63;
constexpr ub4 OCI_DTYPE_TIMESTAMP = 68;

// Return codes.
constexpr sword OCI_SUCCESS = 0;
constexpr sword OCI_SUCCESS_WITH_INFO = 1;
constexpr sword OCI_NEED_DATA = 99;
constexpr sword OCI_NO_DATA = 100;
constexpr sword OCI_ERROR = -1;
constexpr sword OCI_INVALID_HANDLE = -2;

// Modes.
constexpr ub4 OCI_DEFAULT = 0;
// OCIEnvNlsCreate: the environment's handles are used from more than one
// thread (one at a time): see README.md, "Threads".
constexpr ub4 OCI_THREADED = 0x1;
constexpr ub4 OCI_CRED_RDBMS = 1;
constexpr ub4 OCI_CRED_EXT = 2;
constexpr ub4 OCI_NTV_SYNTAX = 1;
constexpr ub4 OCI_DESCRIBE_ONLY = 0x10;
constexpr ub4 OCI_COMMIT_ON_SUCCESS = 0x20;
// Array DML that tries every row and keeps the errors of the failing ones
// (OCI programmer's guide, "Batch Error Mode for OCIStmtExecute()"; value as
// in oci.h, ODPI-C's DPI_MODE_EXEC_BATCH_ERRORS and OCILIB).
constexpr ub4 OCI_BATCH_ERRORS = 0x80;
constexpr ub4 OCI_PARSE_ONLY = 0x100;
// OCIStmtFetch2 orientation (oci.h; ODPI-C DPI_MODE_FETCH_NEXT; OCILIB).
constexpr ub2 OCI_FETCH_NEXT = 0x02;
// OCILobRead2 piece: the whole amount asked for in one call (oci.h).
constexpr ub1 OCI_ONE_PIECE = 0;

// Temporary LOBs (oci.h; ODPI-C DPI_OCI_TEMP_BLOB, DPI_OCI_DURATION_SESSION):
// OCILobCreateTemporary's lobtype for a BLOB, and a duration that ends with
// the session at the latest.
constexpr ub1 OCI_TEMP_BLOB = 1;
constexpr ub2 OCI_DURATION_SESSION = 10;

// Attributes. One number names different things on different handle types.
constexpr ub4 OCI_ATTR_DATA_SIZE = 1;     // param, ub2
constexpr ub4 OCI_ATTR_DATA_TYPE = 2;     // param, ub2
constexpr ub4 OCI_ATTR_NAME = 4;          // param, OraText* + ub4 bytes
constexpr ub4 OCI_ATTR_PRECISION = 5;     // param, sb2
constexpr ub4 OCI_ATTR_SCALE = 6;         // param, sb1
constexpr ub4 OCI_ATTR_SERVER = 6;        // svcctx, OCIServer*
constexpr ub4 OCI_ATTR_IS_NULL = 7;       // param, ub1
// The name and owner of a described column's object type (SQLT_NTY), as
// ODPI-C reads them (DPI_OCI_ATTR_TYPE_NAME, DPI_OCI_ATTR_SCHEMA_NAME).
constexpr ub4 OCI_ATTR_TYPE_NAME = 8;     // param, OraText* + ub4 bytes
constexpr ub4 OCI_ATTR_SCHEMA_NAME = 9;   // param, OraText* + ub4 bytes
constexpr ub4 OCI_ATTR_SESSION = 7;       // svcctx, OCISession*
constexpr ub4 OCI_ATTR_ROW_COUNT = 9;     // stmt, ub4
constexpr ub4 OCI_ATTR_PREFETCH_ROWS = 11;  // stmt, ub4
constexpr ub4 OCI_ATTR_PARAM_COUNT = 18;  // stmt, ub4
constexpr ub4 OCI_ATTR_USERNAME = 22;     // session, text + bytes
constexpr ub4 OCI_ATTR_PASSWORD = 23;     // session, text + bytes
constexpr ub4 OCI_ATTR_CHARSET_FORM = 32; // param, ub1
// Batch errors (oci.h, ODPI-C dpiStmt.c, OCILIB): the count of failed rows on
// the statement after an OCI_BATCH_ERRORS execute, and on the error handle
// that OCIParamGet(errhp, OCI_HTYPE_ERROR, errhp, &rowErr, i) filled for the
// i-th of them (0-based), that row's 0-based offset in the array.
constexpr ub4 OCI_ATTR_NUM_DML_ERRORS = 73;  // stmt, ub4
constexpr ub4 OCI_ATTR_DML_ROW_OFFSET = 74;  // error, ub4
// Rows placed by the last OCIStmtFetch2 (oci.h, ODPI-C dpiStmt__fetch).
constexpr ub4 OCI_ATTR_ROWS_FETCHED = 197;  // stmt, ub4
constexpr ub4 OCI_ATTR_CHAR_SIZE = 286;   // param, ub2

// External data type codes.
constexpr ub2 SQLT_CHR = 1;    // VARCHAR2: characters, length given separately
// Values bound as SQLT_CHR text and converted by the server in the INSERT
// (ocibatch.h): TO_TIMESTAMP(char, 'YYYY-MM-DD HH24:MI:SS.FF9') reads up to
// nine fraction digits; TO_DSINTERVAL(char) takes the SQL interval format
// "[+|-]days hours:minutes:seconds[.frac_secs]" with days 0..999999999 and
// frac_secs .0 to .999999999 (Oracle SQL Language Reference 11.2,
// docs.oracle.com/cd/E11882_01/server.112/e41084/functions204.htm);
// TO_BINARY_DOUBLE / TO_BINARY_FLOAT(char) read a decimal text as an IEEE
// number, rounding once (same reference, TO_BINARY_DOUBLE and
// TO_BINARY_FLOAT), so a BINARY_DOUBLE of 1E+308 travels exactly and a
// BINARY_FLOAT is not rounded through a double first.
constexpr ub2 SQLT_NUM = 2;    // NUMBER (internal form)
constexpr ub2 SQLT_INT = 3;    // signed integer of value_sz bytes
constexpr ub2 SQLT_LNG = 8;    // LONG
constexpr ub2 SQLT_DAT = 12;   // 7-byte DATE
// Native IEEE numbers (ocidfn.h; ODPI-C DPI_SQLT_BFLOAT / DPI_SQLT_BDOUBLE):
// a BINARY_FLOAT defined as SQLT_BFLOAT arrives as a C float of 4 bytes, a
// BINARY_DOUBLE as SQLT_BDOUBLE as a C double of 8, both bit for bit.
constexpr ub2 SQLT_BFLOAT = 21;
constexpr ub2 SQLT_BDOUBLE = 22;
constexpr ub2 SQLT_BIN = 23;   // RAW
constexpr ub2 SQLT_LBI = 24;   // LONG RAW
constexpr ub2 SQLT_AFC = 96;   // CHAR
constexpr ub2 SQLT_NTY = 108;  // a named object type (SDO_GEOMETRY), as a describe reports it
constexpr ub2 SQLT_IBFLOAT = 100;   // BINARY_FLOAT, as a describe reports it
constexpr ub2 SQLT_IBDOUBLE = 101;  // BINARY_DOUBLE, as a describe reports it
constexpr ub2 SQLT_CLOB = 112;
constexpr ub2 SQLT_BLOB = 113;  // a BLOB locator; bound by the address of an OCILobLocator*
// TIMESTAMP and INTERVAL DAY TO SECOND, described with these codes and
// defined over arrays of OCIDateTime* / OCIInterval* descriptors (ocidfn.h;
// ODPI-C DPI_SQLT_TIMESTAMP / DPI_SQLT_INTERVAL_DS). Their describe carries
// the fraction digits in OCI_ATTR_SCALE and an interval's day digits in
// OCI_ATTR_PRECISION (ODPI-C dpiOracleType__populateTypeInfo reads the
// fractional-seconds precision of both from OCI_ATTR_SCALE).
constexpr ub2 SQLT_TIMESTAMP = 187;
constexpr ub2 SQLT_INTERVAL_DS = 190;

constexpr sb2 OCI_IND_NOTNULL = 0;
constexpr sb2 OCI_IND_NULL = -1;

constexpr ub1 SQLCS_IMPLICIT = 1;  // the database character set (ocidfn.h)
constexpr ub1 SQLCS_NCHAR = 2;  // OCI_ATTR_CHARSET_FORM of NCHAR, NVARCHAR2, NCLOB
constexpr ub2 AL32UTF8 = 873;   // character set id of UTF-8
constexpr ub4 OCI_ERROR_MAXMSG_SIZE2 = 3072;
// The largest value_sz a bind accepts, even through the sb8 calls.
constexpr sb8 SB4MAXVAL = 2147483647;

// ------------------------------------------------------------ functions
using OCIEnvNlsCreateFn = sword (*)(OCIEnv **envp, ub4 mode, void *ctxp, void *(*malocfp)(void *ctxp, size_t size),
                                    void *(*ralocfp)(void *ctxp, void *memptr, size_t newsize),
                                    void (*mfreefp)(void *ctxp, void *memptr), size_t xtramem_sz, void **usrmempp,
                                    ub2 charset, ub2 ncharset);
using OCIHandleAllocFn = sword (*)(const void *parenth, void **hndlpp, ub4 type, size_t xtramem_sz, void **usrmempp);
using OCIHandleFreeFn = sword (*)(void *hndlp, ub4 type);
using OCIDescriptorFreeFn = sword (*)(void *descp, ub4 type);
using OCIDescriptorAllocFn = sword (*)(const void *parenth, void **descpp, ub4 type, size_t xtramem_sz,
                                       void **usrmempp);
using OCIErrorGetFn = sword (*)(void *hndlp, ub4 recordno, OraText *sqlstate, sb4 *errcodep, OraText *bufp,
                                ub4 bufsiz, ub4 type);
using OCIServerAttachFn = sword (*)(OCIServer *srvhp, OCIError *errhp, const OraText *dblink, sb4 dblink_len,
                                    ub4 mode);
using OCIServerDetachFn = sword (*)(OCIServer *srvhp, OCIError *errhp, ub4 mode);
using OCISessionBeginFn = sword (*)(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 credt, ub4 mode);
using OCISessionEndFn = sword (*)(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 mode);
using OCIAttrSetFn = sword (*)(void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype,
                               OCIError *errhp);
using OCIAttrGetFn = sword (*)(const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep, ub4 attrtype,
                               OCIError *errhp);
using OCIParamGetFn = sword (*)(const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos);
using OCIStmtPrepare2Fn = sword (*)(OCISvcCtx *svchp, OCIStmt **stmtp, OCIError *errhp, const OraText *stmt,
                                    ub4 stmt_len, const OraText *key, ub4 key_len, ub4 language, ub4 mode);
using OCIStmtReleaseFn = sword (*)(OCIStmt *stmtp, OCIError *errhp, const OraText *key, ub4 key_len, ub4 mode);
using OCIStmtExecuteFn = sword (*)(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4 rowoff,
                                   const OCISnapshot *snap_in, OCISnapshot *snap_out, ub4 mode);
using OCIStmtFetch2Fn = sword (*)(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, sb4 scrollOffset,
                                  ub4 mode);
// LOB reads by locator (OCI programmer's guide, "OCILobGetLength2()" and
// "OCILobRead2()"): lengths and offsets are in bytes for a BLOB and in
// characters for a CLOB, offsets 1-based; OCILobRead2 takes the amount to
// read in *byte_amtp (BLOB) or, with *byte_amtp 0, in *char_amtp (CLOB), and
// returns the amounts read in both; bufl is the buffer's size in bytes.
using OCILobGetLength2Fn = sword (*)(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *lenp);
using OCILobRead2Fn = sword (*)(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *byte_amtp,
                                ub8 *char_amtp, ub8 offset, void *bufp, ub8 bufl, ub1 piece, void *ctxp,
                                sb4 (*cbfp)(void *ctxp, const void *bufp, ub8 lenp, ub1 piecep,
                                            void **changed_bufpp, ub8 *changed_lenp),
                                ub2 csid, ub1 csfrm);
// Temporary LOBs, for a value that is passed to a SQL function as a BLOB
// (the geometry's WKB): OCILobCreateTemporary makes an allocated locator a
// temporary LOB (csid 0 and csfrm SQLCS_IMPLICIT for a BLOB, cache a boolean),
// OCILobWrite2 writes it as OCILobRead2 reads (bytes for a BLOB, offset
// 1-based, the whole amount in one OCI_ONE_PIECE call), OCILobFreeTemporary
// gives it back (OCI programmer's guide, "LOB Functions"; ODPI-C dpiOci.c
// dpiOciFnType__lobCreateTemporary, __lobWrite2, __lobFreeTemporary).
using OCILobCreateTemporaryFn = sword (*)(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub2 csid,
                                          ub1 csfrm, ub1 lobtype, int cache, ub2 duration);
using OCILobWrite2Fn = sword (*)(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *byte_amtp,
                                 ub8 *char_amtp, ub8 offset, void *bufp, ub8 buflen, ub1 piece, void *ctxp,
                                 sb4 (*cbfp)(void *ctxp, void *bufp, ub8 *lenp, ub1 *piecep,
                                             void **changed_bufpp, ub8 *changed_lenp),
                                 ub2 csid, ub1 csfrm);
using OCILobFreeTemporaryFn = sword (*)(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp);
// Parts of a datetime and an interval (OCI programmer's guide, "OCIDateTimeGetDate()",
// "OCIDateTimeGetTime()", "OCIIntervalGetDaySecond()", docs.oracle.com/cd/A97385_01/appdev.920/a96584/oci18m57.htm):
// hndl is the environment or the user session handle; fsec is in
// nanoseconds (ODPI-C dpiTimestamp.fsecond, dpiIntervalDS.fseconds). The
// interval's parts are signed; the reference says no more about a negative
// interval than that, so a reader takes it as negative when any part is.
using OCIDateTimeGetDateFn = sword (*)(void *hndl, OCIError *err, const OCIDateTime *datetime, sb2 *yr, ub1 *mnth,
                                       ub1 *dy);
using OCIDateTimeGetTimeFn = sword (*)(void *hndl, OCIError *err, OCIDateTime *datetime, ub1 *hr, ub1 *mm, ub1 *ss,
                                       ub4 *fsec);
using OCIIntervalGetDaySecondFn = sword (*)(void *hndl, OCIError *err, sb4 *dy, sb4 *hr, sb4 *mm, sb4 *ss, sb4 *fsec,
                                            const OCIInterval *interval);
using OCIDefineByPosFn = sword (*)(OCIStmt *stmtp, OCIDefine **defnp, OCIError *errhp, ub4 position, void *valuep,
                                   sb4 value_sz, ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep, ub4 mode);
using OCIBindByPos2Fn = sword (*)(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, ub4 position, void *valuep,
                                  sb8 value_sz, ub2 dty, void *indp, ub4 *alenp, ub2 *rcodep, ub4 maxarr_len,
                                  ub4 *curelep, ub4 mode);
using OCIBindArrayOfStructFn = sword (*)(OCIBind *bindp, OCIError *errhp, ub4 pvskip, ub4 indskip, ub4 alskip,
                                         ub4 rcskip);
using OCITransRollbackFn = sword (*)(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
using OCITransCommitFn = sword (*)(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);

// Every function the adapter calls, as X(name, pointer type).
#define TAVREX_OCI_FUNCTIONS(X)                          \
    X(OCIEnvNlsCreate, OCIEnvNlsCreateFn)                \
    X(OCIHandleAlloc, OCIHandleAllocFn)                  \
    X(OCIHandleFree, OCIHandleFreeFn)                    \
    X(OCIDescriptorFree, OCIDescriptorFreeFn)            \
    X(OCIDescriptorAlloc, OCIDescriptorAllocFn)          \
    X(OCIErrorGet, OCIErrorGetFn)                        \
    X(OCIServerAttach, OCIServerAttachFn)                \
    X(OCIServerDetach, OCIServerDetachFn)                \
    X(OCISessionBegin, OCISessionBeginFn)                \
    X(OCISessionEnd, OCISessionEndFn)                    \
    X(OCIAttrSet, OCIAttrSetFn)                          \
    X(OCIAttrGet, OCIAttrGetFn)                          \
    X(OCIParamGet, OCIParamGetFn)                        \
    X(OCIStmtPrepare2, OCIStmtPrepare2Fn)                \
    X(OCIStmtRelease, OCIStmtReleaseFn)                  \
    X(OCIStmtExecute, OCIStmtExecuteFn)                  \
    X(OCIStmtFetch2, OCIStmtFetch2Fn)                    \
    X(OCILobGetLength2, OCILobGetLength2Fn)              \
    X(OCILobRead2, OCILobRead2Fn)                        \
    X(OCILobCreateTemporary, OCILobCreateTemporaryFn)    \
    X(OCILobWrite2, OCILobWrite2Fn)                      \
    X(OCILobFreeTemporary, OCILobFreeTemporaryFn)        \
    X(OCIDateTimeGetDate, OCIDateTimeGetDateFn)          \
    X(OCIDateTimeGetTime, OCIDateTimeGetTimeFn)          \
    X(OCIIntervalGetDaySecond, OCIIntervalGetDaySecondFn) \
    X(OCIDefineByPos, OCIDefineByPosFn)                  \
    X(OCIBindByPos2, OCIBindByPos2Fn)                    \
    X(OCIBindArrayOfStruct, OCIBindArrayOfStructFn)      \
    X(OCITransRollback, OCITransRollbackFn)              \
    X(OCITransCommit, OCITransCommitFn)

// The resolved functions of one loaded library.
struct Api {
#define TAVREX_OCI_POINTER(name, type) type name = nullptr;
    TAVREX_OCI_FUNCTIONS(TAVREX_OCI_POINTER)
#undef TAVREX_OCI_POINTER
};

// The names of TAVREX_OCI_FUNCTIONS, in its order.
inline constexpr const char *kFunctionNames[] = {
#define TAVREX_OCI_NAME(name, type) #name,
    TAVREX_OCI_FUNCTIONS(TAVREX_OCI_NAME)
#undef TAVREX_OCI_NAME
};

} // namespace tavrex::oci
