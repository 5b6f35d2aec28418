#pragma once

// The test double's own declarations of the Oracle Call Interface, written
// from the OCI reference and kept apart from the adapter's
// (connections/oracle/ocidefs.h), which the double must not include: a
// constant or a signature that one side gets wrong then makes the adapter's
// calls fail on the double instead of agreeing with it.
//
// Sources, by the key of shared/oracle-facts.md: the Instant Client SDK
// headers of release 19.11 (oci.h, ociap.h, ocidfn.h, oratypes.h, oro.h);
// ODPI-C (dpiImpl.h, dpiOci.c, dpiStmt.c) and OCILIB (defs.h, api.h), which
// both load the client library at run time with declarations of their own;
// the OCI programmer's guide for the LOB calls (OCILobRead2, OCILobGetLength2,
// OCILobCreateTemporary, OCILobWrite2, OCILobFreeTemporary)
// and for the datetime and interval calls (OCIDateTimeGetDate,
// OCIDateTimeGetTime, OCIIntervalGetDaySecond: release 9.2 guide, chapter
// "OCI Datatype Mapping and Manipulation Functions",
// docs.oracle.com/cd/A97385_01/appdev.920/a96584/oci18m57.htm).
//
// The prototypes are the double's exports: each definition in ocidouble.cpp
// must match its prototype here, or C linkage makes it a compile error.

#include <cstddef>

namespace tavrex::ocidouble {

// ------------------------------------------------------------ oratypes.h
typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef unsigned long long ub8;  // oraub8
typedef signed long long sb8;    // orasb8
typedef signed int sword;
typedef unsigned char OraText;
constexpr sb8 SB4MAXVAL = 2147483647;  // INT_MAX

// Handles and descriptors are opaque: only their addresses travel.
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIServer;
struct OCISession;
struct OCIBind;
struct OCIDefine;
struct OCISnapshot;
struct OCILobLocator;
struct OCIDateTime;
struct OCIInterval;

// ------------------------------------------------------------ oci.h: handle types
enum : ub4 {
    OCI_HTYPE_ENV = 1,
    OCI_HTYPE_ERROR = 2,
    OCI_HTYPE_SVCCTX = 3,
    OCI_HTYPE_STMT = 4,
    OCI_HTYPE_BIND = 5,
    OCI_HTYPE_DEFINE = 6,
    OCI_HTYPE_DESCRIBE = 7,
    OCI_HTYPE_SERVER = 8,
    OCI_HTYPE_SESSION = 9,
    OCI_DTYPE_LOB = 50,
    OCI_DTYPE_PARAM = 53,
    OCI_DTYPE_INTERVAL_DS = 63,  // oci.h; ODPI-C DPI_OCI_DTYPE_INTERVAL_DS
    OCI_DTYPE_TIMESTAMP = 68,    // oci.h; ODPI-C DPI_OCI_DTYPE_TIMESTAMP
};

// ------------------------------------------------------------ oci.h: return codes
constexpr sword OCI_SUCCESS = 0;
constexpr sword OCI_SUCCESS_WITH_INFO = 1;
constexpr sword OCI_NEED_DATA = 99;
constexpr sword OCI_NO_DATA = 100;
constexpr sword OCI_ERROR = -1;
constexpr sword OCI_INVALID_HANDLE = -2;

// ------------------------------------------------------------ oci.h: modes
enum : ub4 {
    OCI_DEFAULT = 0x00,
    // OCIEnvNlsCreate: an environment whose handles may be used from more
    // than one thread
    OCI_THREADED = 0x01,
    // OCISessionBegin credentials
    OCI_CRED_RDBMS = 1,
    OCI_CRED_EXT = 2,
    // OCIStmtPrepare2 language
    OCI_NTV_SYNTAX = 1,
    // OCIStmtExecute
    OCI_BATCH_MODE = 0x01,
    OCI_EXACT_FETCH = 0x02,
    OCI_DESCRIBE_ONLY = 0x10,
    OCI_COMMIT_ON_SUCCESS = 0x20,
    OCI_BATCH_ERRORS = 0x80,
    OCI_PARSE_ONLY = 0x100,
    // OCIStmtFetch2 orientation
    OCI_FETCH_CURRENT = 0x01,
    OCI_FETCH_NEXT = 0x02,
};

// OCILobRead2 / OCILobWrite2 piece
constexpr ub1 OCI_ONE_PIECE = 0;
constexpr ub1 OCI_FIRST_PIECE = 1;

// OCILobCreateTemporary: the kinds of temporary LOB and the session's
// duration (oci.h: OCI_TEMP_BLOB, OCI_TEMP_CLOB; oro.h: OCI_DURATION_SESSION).
constexpr ub1 OCI_TEMP_BLOB = 1;
constexpr ub1 OCI_TEMP_CLOB = 2;
constexpr ub2 OCI_DURATION_SESSION = 10;

// ------------------------------------------------------------ oci.h: attributes
// The same number names different things on different handle types.
enum : ub4 {
    // describe (parameter descriptor)
    OCI_ATTR_DATA_SIZE = 1,   // ub2
    OCI_ATTR_DATA_TYPE = 2,   // ub2
    OCI_ATTR_NAME = 4,        // OraText*, length in bytes
    // NUMBER's precision; an INTERVAL's leading (day) digits
    OCI_ATTR_PRECISION = 5,   // sb2
    // NUMBER's scale; a TIMESTAMP's or an INTERVAL's fraction digits (ODPI-C
    // dpiOracleType__populateTypeInfo takes fsPrecision from the scale)
    OCI_ATTR_SCALE = 6,       // sb1
    OCI_ATTR_IS_NULL = 7,     // ub1
    // an object type column (SQLT_NTY): its type's name and owner
    OCI_ATTR_TYPE_NAME = 8,     // OraText*, length in bytes
    OCI_ATTR_SCHEMA_NAME = 9,   // OraText*, length in bytes
    OCI_ATTR_CHARSET_FORM = 32,  // ub1
    OCI_ATTR_CHAR_SIZE = 286,    // ub2
    // service context
    OCI_ATTR_SERVER = 6,
    OCI_ATTR_SESSION = 7,
    // session
    OCI_ATTR_USERNAME = 22,
    OCI_ATTR_PASSWORD = 23,
    // statement
    OCI_ATTR_ROW_COUNT = 9,        // ub4
    OCI_ATTR_PREFETCH_ROWS = 11,   // ub4
    OCI_ATTR_PARAM_COUNT = 18,     // ub4
    OCI_ATTR_NUM_DML_ERRORS = 73,  // ub4
    OCI_ATTR_ROWS_FETCHED = 197,   // ub4
    // error handle filled by OCIParamGet with one batch error
    OCI_ATTR_DML_ROW_OFFSET = 74,  // ub4
};

// ------------------------------------------------------------ ocidfn.h: external types
enum : ub2 {
    SQLT_CHR = 1,
    SQLT_NUM = 2,
    SQLT_INT = 3,
    SQLT_FLT = 4,
    SQLT_STR = 5,
    SQLT_LNG = 8,
    SQLT_DAT = 12,
    SQLT_BFLOAT = 21,    // native float, 4 bytes
    SQLT_BDOUBLE = 22,   // native double, 8 bytes
    SQLT_BIN = 23,
    SQLT_LBI = 24,
    SQLT_AFC = 96,
    SQLT_NTY = 108,  // a named object type column
    SQLT_IBFLOAT = 100,   // BINARY_FLOAT column
    SQLT_IBDOUBLE = 101,  // BINARY_DOUBLE column
    SQLT_CLOB = 112,
    SQLT_BLOB = 113,
    SQLT_TIMESTAMP = 187,    // over OCIDateTime* descriptors
    SQLT_INTERVAL_DS = 190,  // over OCIInterval* descriptors
};

constexpr ub1 SQLCS_IMPLICIT = 1;
constexpr ub1 SQLCS_NCHAR = 2;

// oro.h: indicators
constexpr sb2 OCI_IND_NOTNULL = 0;
constexpr sb2 OCI_IND_NULL = -1;

// Character set ids: AL32UTF8 (ODPI-C's DPI_CHARSET_ID_UTF8), WE8ISO8859P1.
constexpr ub2 OCI_CHARSET_AL32UTF8 = 873;
constexpr ub2 OCI_CHARSET_WE8ISO8859P1 = 31;

} // namespace tavrex::ocidouble

// ------------------------------------------------------------ ociap.h: the calls the double serves
extern "C" {
using namespace tavrex::ocidouble;

sword OCIEnvNlsCreate(OCIEnv **envp, ub4 mode, void *ctxp, void *(*malocfp)(void *ctxp, size_t size),
                      void *(*ralocfp)(void *ctxp, void *memptr, size_t newsize),
                      void (*mfreefp)(void *ctxp, void *memptr), size_t xtramem_sz, void **usrmempp, ub2 charset,
                      ub2 ncharset);
sword OCIHandleAlloc(const void *parenth, void **hndlpp, const ub4 type, const size_t xtramem_sz, void **usrmempp);
sword OCIHandleFree(void *hndlp, const ub4 type);
sword OCIDescriptorAlloc(const void *parenth, void **descpp, const ub4 type, const size_t xtramem_sz,
                         void **usrmempp);
sword OCIDescriptorFree(void *descp, const ub4 type);
sword OCIErrorGet(void *hndlp, ub4 recordno, OraText *sqlstate, sb4 *errcodep, OraText *bufp, ub4 bufsiz, ub4 type);
sword OCIServerAttach(OCIServer *srvhp, OCIError *errhp, const OraText *dblink, sb4 dblink_len, ub4 mode);
sword OCIServerDetach(OCIServer *srvhp, OCIError *errhp, ub4 mode);
sword OCISessionBegin(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 credt, ub4 mode);
sword OCISessionEnd(OCISvcCtx *svchp, OCIError *errhp, OCISession *usrhp, ub4 mode);
sword OCIAttrSet(void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 size, ub4 attrtype, OCIError *errhp);
sword OCIAttrGet(const void *trgthndlp, ub4 trghndltyp, void *attributep, ub4 *sizep, ub4 attrtype,
                 OCIError *errhp);
sword OCIParamGet(const void *hndlp, ub4 htype, OCIError *errhp, void **parmdpp, ub4 pos);
sword OCIStmtPrepare2(OCISvcCtx *svchp, OCIStmt **stmtp, OCIError *errhp, const OraText *stmt, ub4 stmt_len,
                      const OraText *key, ub4 key_len, ub4 language, ub4 mode);
sword OCIStmtRelease(OCIStmt *stmtp, OCIError *errhp, const OraText *key, ub4 key_len, ub4 mode);
sword OCIStmtExecute(OCISvcCtx *svchp, OCIStmt *stmtp, OCIError *errhp, ub4 iters, ub4 rowoff,
                     const OCISnapshot *snap_in, OCISnapshot *snap_out, ub4 mode);
sword OCIStmtFetch2(OCIStmt *stmtp, OCIError *errhp, ub4 nrows, ub2 orientation, sb4 scrollOffset, ub4 mode);
sword OCIDefineByPos(OCIStmt *stmtp, OCIDefine **defnp, OCIError *errhp, ub4 position, void *valuep, sb4 value_sz,
                     ub2 dty, void *indp, ub2 *rlenp, ub2 *rcodep, ub4 mode);
sword OCIBindByPos2(OCIStmt *stmtp, OCIBind **bindp, OCIError *errhp, ub4 position, void *valuep, sb8 value_sz,
                    ub2 dty, void *indp, ub4 *alenp, ub2 *rcodep, ub4 maxarr_len, ub4 *curelep, ub4 mode);
sword OCIBindArrayOfStruct(OCIBind *bindp, OCIError *errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip);
sword OCITransCommit(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
sword OCITransRollback(OCISvcCtx *svchp, OCIError *errhp, ub4 flags);
// hndl: the environment or the user session; fsec in nanoseconds (ODPI-C
// dpiTimestamp.fsecond, dpiIntervalDS.fseconds); the parts of an interval
// are signed.
sword OCIDateTimeGetDate(void *hndl, OCIError *err, const OCIDateTime *datetime, sb2 *yr, ub1 *mnth, ub1 *dy);
sword OCIDateTimeGetTime(void *hndl, OCIError *err, OCIDateTime *datetime, ub1 *hr, ub1 *mm, ub1 *ss, ub4 *fsec);
sword OCIIntervalGetDaySecond(void *hndl, OCIError *err, sb4 *dy, sb4 *hr, sb4 *mm, sb4 *ss, sb4 *fsec,
                              const OCIInterval *interval);
sword OCILobGetLength2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *lenp);
sword OCILobRead2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *byte_amtp, ub8 *char_amtp,
                  ub8 offset, void *bufp, ub8 bufl, ub1 piece, void *ctxp,
                  sb4 (*cbfp)(void *ctxp, const void *bufp, ub8 lenp, ub1 piecep, void **changed_bufpp,
                              ub8 *changed_lenp),
                  ub2 csid, ub1 csfrm);
// cache is oratypes.h's boolean (an int).
sword OCILobCreateTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub2 csid, ub1 csfrm,
                            ub1 lobtype, int cache, ub2 duration);
sword OCILobWrite2(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp, ub8 *byte_amtp, ub8 *char_amtp,
                   ub8 offset, void *bufp, ub8 buflen, ub1 piece, void *ctxp,
                   sb4 (*cbfp)(void *ctxp, void *bufp, ub8 *lenp, ub1 *piecep, void **changed_bufpp,
                               ub8 *changed_lenp),
                   ub2 csid, ub1 csfrm);
sword OCILobFreeTemporary(OCISvcCtx *svchp, OCIError *errhp, OCILobLocator *locp);
}
