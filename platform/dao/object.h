// The COM shape every DAO object shares: reference counting, QueryInterface by interface id, and the call
// boundary that turns a failure into an HRESULT plus an entry in the engine's Errors list.
//
// Objects are born with one reference, which the creating call hands to its caller through the out-parameter.
// The last Release deletes the object. Parents keep their children alive through `ref<T>` holders; a child
// keeps what it needs of its parent (the shared database state), so a child stays usable after the caller
// released its parent, until the database is closed.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "platform/dao/errors.h"
#include "platform/oleaut/types.h"

namespace dao {

class object : public IDispatch {
 public:
  object(const object&) = delete;
  object& operator=(const object&) = delete;

  HRESULT QueryInterface(const IID& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  // The reference count, for tests and traces.
  uint32_t references() const { return refs_.load(); }
  const error_list_ptr& errors() const { return errors_; }

 protected:
  object(const IID& iid, error_list_ptr errors) : iid_(iid), errors_(std::move(errors)) {}
  virtual ~object() = default;

  // One DAO call: `body` runs; a failure becomes the HRESULT and replaces the Errors list.
  template <class F>
  HRESULT call(F&& body) {
    return guarded(errors_, source(), std::forward<F>(body));
  }
  // Fails the call with `number` as `call` does for a raised dao::error, without raising one: for answers that
  // are common rather than exceptional (a property a field lacks, a field without a current value).
  HRESULT refuse(int number) { return errors_->replace(number, error_text(number), source()); }
  // Fails the call with `number` unless `p` is set (out-parameters and object arguments).
  static void need(const void* p) {
    if (!p) fail(err::invalid_procedure_call);
  }
  // DAO's name for the object kind in Errors entries ("DAO.Database").
  virtual const wchar_t* source() const = 0;

 private:
  const IID& iid_;
  std::atomic<uint32_t> refs_{1};
  error_list_ptr errors_;
};

// An owning reference to a DAO object (one AddRef'd pointer).
template <class T>
class ref {
 public:
  ref() = default;
  // Adopts a pointer that already carries a reference for this holder (a freshly made object).
  static ref adopt(T* p) {
    ref r;
    r.p_ = p;
    return r;
  }
  // Shares a pointer: takes a reference of its own.
  static ref share(T* p) {
    if (p) p->AddRef();
    return adopt(p);
  }
  ref(const ref& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ref(ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ref& operator=(ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ref() {
    if (p_) p_->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Hands a new reference to a caller's out-parameter.
  T* give() const {
    if (p_) p_->AddRef();
    return p_;
  }

 private:
  T* p_ = nullptr;
};

template <class T, class... A>
ref<T> make(A&&... a) {
  return ref<T>::adopt(new T(std::forward<A>(a)...));
}

}  // namespace dao
