#pragma once

// Owners of OCI handles for the adapter (connections/oracle/ocisession.cpp): every
// handle gets its owner at the line that allocates it, so no path out of a
// connect or a statement leaks one. Private to connections/oci*.

#include "connections/oracle/ocidefs.h"

#include <utility>

namespace tavrex::oci {

template <typename T>
struct HandleTraits;
template <>
struct HandleTraits<OCIEnv> {
    static constexpr ub4 type = OCI_HTYPE_ENV;
};
template <>
struct HandleTraits<OCIError> {
    static constexpr ub4 type = OCI_HTYPE_ERROR;
};
template <>
struct HandleTraits<OCIServer> {
    static constexpr ub4 type = OCI_HTYPE_SERVER;
};
template <>
struct HandleTraits<OCISvcCtx> {
    static constexpr ub4 type = OCI_HTYPE_SVCCTX;
};
template <>
struct HandleTraits<OCISession> {
    static constexpr ub4 type = OCI_HTYPE_SESSION;
};

// A handle freed with OCIHandleFree of its type. Freeing the environment
// frees what was allocated under it, so the environment's owner must be
// destroyed last.
template <typename T>
class Handle {
public:
    static constexpr ub4 type = HandleTraits<T>::type;

    explicit Handle(const Api &api) : api_(&api) {}
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle() { reset(); }

    T *get() const { return static_cast<T *>(handle_); }
    // The slot that OCIHandleAlloc fills; frees a handle held before.
    void **slot()
    {
        reset();
        return &handle_;
    }
    void adopt(T *handle)
    {
        reset();
        handle_ = handle;
    }
    void reset()
    {
        if (handle_)
            api_->OCIHandleFree(handle_, type);
        handle_ = nullptr;
    }

private:
    const Api *api_;
    void *handle_ = nullptr;
};

// A statement from OCIStmtPrepare2, given back with OCIStmtRelease (which
// also frees its binds and defines).
class Statement {
public:
    Statement(const Api &api, OCIError *err) : api_(&api), err_(err) {}
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    Statement(Statement &&o) noexcept : api_(o.api_), err_(o.err_), stmt_(std::exchange(o.stmt_, nullptr)) {}
    Statement &operator=(Statement &&o) noexcept
    {
        if (this != &o) {
            reset();
            api_ = o.api_;
            err_ = o.err_;
            stmt_ = std::exchange(o.stmt_, nullptr);
        }
        return *this;
    }
    ~Statement() { reset(); }

    OCIStmt *get() const { return stmt_; }
    OCIStmt **slot()
    {
        reset();
        return &stmt_;
    }
    void reset()
    {
        if (stmt_)
            api_->OCIStmtRelease(stmt_, err_, nullptr, 0, OCI_DEFAULT);
        stmt_ = nullptr;
    }

private:
    const Api *api_;
    OCIError *err_;
    OCIStmt *stmt_ = nullptr;
};

// A parameter descriptor from OCIParamGet, freed with OCIDescriptorFree.
class ParamDescriptor {
public:
    explicit ParamDescriptor(const Api &api) : api_(&api) {}
    ParamDescriptor(const ParamDescriptor &) = delete;
    ParamDescriptor &operator=(const ParamDescriptor &) = delete;
    ~ParamDescriptor()
    {
        if (param_)
            api_->OCIDescriptorFree(param_, OCI_DTYPE_PARAM);
    }
    void *get() const { return param_; }
    void **slot() { return &param_; }

private:
    const Api *api_;
    void *param_ = nullptr;
};

} // namespace tavrex::oci
