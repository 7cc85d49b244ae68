#include "kel/Cache.h"

#include <cstring>

#include "kel/DriverSession.h"

namespace kel {

void CacheStore::Clear() {
  int32_.clear();
  real64_.clear();
  boolean_.clear();
  string_.clear();
}

CacheManagerBase::CacheManagerBase(DriverSession& session, ViAttr id, void* value)
    : session_(session), id_(id), active_(session.GetCache() || session.GetSimulate()), value_(value) {}

// Every cached attribute keeps its one entry under the empty repeated-capability name.
constexpr std::string_view kEntryName;

template <class T, class Tag>
GetterCacheManager<T, Tag>::GetterCacheManager(DriverSession& session, ViAttr id, T* callerValue)
    : CacheManager<T>(session, id, callerValue) {
  if (this->active_) entry_ = &session.cache().template FindOrCreate<T>(id, kEntryName);
}

template <class T, class Tag>
GetterCacheManager<T, Tag>::~GetterCacheManager() {
  if (entry_ != nullptr) {
    entry_->value = *static_cast<T*>(this->value_);
    entry_->valid = true;
  }
}

template <class Tag>
GetterCacheManager<std::string, Tag>::GetterCacheManager(DriverSession& session, ViAttr id, ViInt32 /*bufferSize*/,
                                                         ViChar* buffer)
    : CacheManager<std::string>(session, id, buffer) {
  if (active_) entry_ = &session.cache().FindOrCreate<std::string>(id, kEntryName);
}

template <class Tag>
GetterCacheManager<std::string, Tag>::~GetterCacheManager() {
  if (entry_ != nullptr && value_ != nullptr) {
    try {
      entry_->value.assign(static_cast<const ViChar*>(value_));
      entry_->valid = true;
    } catch (...) {
      // Out of memory while caching a text: the entry keeps its previous content.
    }
  }
}

template <class T, class Tag>
SetterCacheManager<T, Tag>::SetterCacheManager(DriverSession& session, ViAttr id, T* newValue)
    : CacheManager<T>(session, id, newValue) {}

template <class T, class Tag>
SetterCacheManager<T, Tag>::~SetterCacheManager() {
  if (!this->active_) return;
  try {
    auto& entry = this->session().cache().template FindOrCreate<T>(this->id_, kEntryName);
    if (failed_) {
      entry.valid = false;
    } else {
      entry.value = *static_cast<T*>(this->value_);
      entry.valid = true;
    }
  } catch (...) {
    // Out of memory while creating the entry: nothing is cached, nothing else changes.
  }
}

template class GetterCacheManager<ViInt32>;
template class GetterCacheManager<ViReal64>;
template class GetterCacheManager<ViBoolean>;
template class GetterCacheManager<std::string>;
template class SetterCacheManager<ViInt32>;
template class SetterCacheManager<ViReal64>;
template class SetterCacheManager<ViBoolean>;

}  // namespace kel
