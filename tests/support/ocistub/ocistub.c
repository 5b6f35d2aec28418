/* A library that looks like the Oracle client to the loader but is not the
   one Tavrex needs: it exports the names of the functions the adapter binds
   (TAVREX_OCI_FUNCTIONS in connections/ocidefs.h) except those a build leaves
   out with OCISTUB_OMIT_<name>. Nothing may call them: the loader must refuse
   the library before any call. Each returns OCI_ERROR. */

#define OCISTUB(name) \
    int name(void) { return -1; }

#ifndef OCISTUB_OMIT_OCIEnvNlsCreate
OCISTUB(OCIEnvNlsCreate)
#endif

#ifndef OCISTUB_OMIT_OCIHandleAlloc
OCISTUB(OCIHandleAlloc)
#endif

#ifndef OCISTUB_OMIT_OCIHandleFree
OCISTUB(OCIHandleFree)
#endif

#ifndef OCISTUB_OMIT_OCIDescriptorFree
OCISTUB(OCIDescriptorFree)
#endif

#ifndef OCISTUB_OMIT_OCIErrorGet
OCISTUB(OCIErrorGet)
#endif

#ifndef OCISTUB_OMIT_OCIServerAttach
OCISTUB(OCIServerAttach)
#endif

#ifndef OCISTUB_OMIT_OCIServerDetach
OCISTUB(OCIServerDetach)
#endif

#ifndef OCISTUB_OMIT_OCISessionBegin
OCISTUB(OCISessionBegin)
#endif

#ifndef OCISTUB_OMIT_OCISessionEnd
OCISTUB(OCISessionEnd)
#endif

#ifndef OCISTUB_OMIT_OCIAttrSet
OCISTUB(OCIAttrSet)
#endif

#ifndef OCISTUB_OMIT_OCIAttrGet
OCISTUB(OCIAttrGet)
#endif

#ifndef OCISTUB_OMIT_OCIParamGet
OCISTUB(OCIParamGet)
#endif

#ifndef OCISTUB_OMIT_OCIStmtPrepare2
OCISTUB(OCIStmtPrepare2)
#endif

#ifndef OCISTUB_OMIT_OCIStmtRelease
OCISTUB(OCIStmtRelease)
#endif

#ifndef OCISTUB_OMIT_OCIStmtExecute
OCISTUB(OCIStmtExecute)
#endif

#ifndef OCISTUB_OMIT_OCIDefineByPos
OCISTUB(OCIDefineByPos)
#endif

#ifndef OCISTUB_OMIT_OCIBindByPos2
OCISTUB(OCIBindByPos2)
#endif

#ifndef OCISTUB_OMIT_OCIBindArrayOfStruct
OCISTUB(OCIBindArrayOfStruct)
#endif

#ifndef OCISTUB_OMIT_OCITransRollback
OCISTUB(OCITransRollback)
#endif

#ifndef OCISTUB_OMIT_OCITransCommit
OCISTUB(OCITransCommit)
#endif

#ifndef OCISTUB_OMIT_OCIDescriptorAlloc
OCISTUB(OCIDescriptorAlloc)
#endif

#ifndef OCISTUB_OMIT_OCIStmtFetch2
OCISTUB(OCIStmtFetch2)
#endif

#ifndef OCISTUB_OMIT_OCILobGetLength2
OCISTUB(OCILobGetLength2)
#endif

#ifndef OCISTUB_OMIT_OCILobRead2
OCISTUB(OCILobRead2)
#endif

#ifndef OCISTUB_OMIT_OCILobCreateTemporary
OCISTUB(OCILobCreateTemporary)
#endif

#ifndef OCISTUB_OMIT_OCILobWrite2
OCISTUB(OCILobWrite2)
#endif

#ifndef OCISTUB_OMIT_OCILobFreeTemporary
OCISTUB(OCILobFreeTemporary)
#endif

#ifndef OCISTUB_OMIT_OCIDateTimeGetDate
OCISTUB(OCIDateTimeGetDate)
#endif

#ifndef OCISTUB_OMIT_OCIDateTimeGetTime
OCISTUB(OCIDateTimeGetTime)
#endif

#ifndef OCISTUB_OMIT_OCIIntervalGetDaySecond
OCISTUB(OCIIntervalGetDaySecond)
#endif
