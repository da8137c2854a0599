// Reference counting, interface ids and QueryInterface of the DAO objects.
#include "platform/dao/object.h"

#include "platform/dao/dao.h"

namespace dao {

HRESULT object::QueryInterface(const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == iid_ || iid == IID_IUnknown || iid == IID_IDispatch) {
    AddRef();
    *out = static_cast<IDispatch*>(this);
    return S_OK;
  }
  return E_NOINTERFACE;
}

uint32_t object::AddRef() { return ++refs_; }

uint32_t object::Release() {
  uint32_t left = --refs_;
  if (left == 0) delete this;
  return left;
}

}  // namespace dao

// This layer's own interface ids: one family, told apart by the first field.
#define DAO_IID(name, n) const IID name = {0x7A6D0000u + (n), 0x5444, 0x4141, {0x8F, 0x31, 0, 0, 0, 0, 0, 0x01}}
DAO_IID(IID__DBEngine, 1);
DAO_IID(IID_DAODatabase, 2);
DAO_IID(IID_DAOTableDefs, 3);
DAO_IID(IID__DAOTableDef, 4);
DAO_IID(IID_DAOQueryDefs, 5);
DAO_IID(IID__DAOQueryDef, 6);
DAO_IID(IID_DAOFields, 7);
DAO_IID(IID__DAOField, 8);
DAO_IID(IID_DAOIndexes, 9);
DAO_IID(IID__DAOIndex, 10);
DAO_IID(IID_DAOIndexFields, 11);
DAO_IID(IID_DAORelations, 12);
DAO_IID(IID__DAORelation, 13);
DAO_IID(IID_DAORecordset, 14);
DAO_IID(IID_DAOErrors, 15);
DAO_IID(IID_DAOError, 16);
DAO_IID(IID_DAOProperties, 17);
DAO_IID(IID_DAOProperty, 18);
#undef DAO_IID
