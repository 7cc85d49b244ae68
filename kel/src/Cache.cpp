#include "kel/Cache.h"

#include <cstring>

#include "kel/DriverSession.h"
#include "kel/Frame.h"

namespace kel {

void CacheStore::Clear() {
  int32_.clear();
  real64_.clear();
  boolean_.clear();
  string_.clear();
}

CacheManagerBase::CacheManagerBase(ViSession vi, ViAttr id, void* value)
    : vi_(vi), id_(id), active_(false), value_(value), session_(FindSession(vi)) {
  if (session_ != nullptr) active_ = session_->GetCache() || session_->GetSimulate();
}

// Every cached attribute keeps its one entry under the empty repeated-capability name.
constexpr std::string_view kEntryName;

template <class T, class Tag>
GetterCacheManager<T, Tag>::GetterCacheManager(ViSession vi, ViAttr id, T* callerValue)
    : CacheManager<T>(vi, id, callerValue) {
  if (this->active_) {
    if (DriverSession* s = this->session()) entry_ = &s->cache().template FindOrCreate<T>(id, kEntryName);
  }
}

template <class T, class Tag>
GetterCacheManager<T, Tag>::~GetterCacheManager() {
  if (entry_ != nullptr) {
    entry_->value = *static_cast<T*>(this->value_);
    entry_->valid = true;
  }
}

template <class Tag>
GetterCacheManager<std::string, Tag>::GetterCacheManager(ViSession vi, ViAttr id, ViInt32 /*bufferSize*/,
                                                         ViChar* buffer)
    : CacheManager<std::string>(vi, id, buffer) {
  if (active_) {
    if (DriverSession* s = session()) entry_ = &s->cache().FindOrCreate<std::string>(id, kEntryName);
  }
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
SetterCacheManager<T, Tag>::SetterCacheManager(ViSession vi, ViAttr id, T* newValue)
    : CacheManager<T>(vi, id, newValue) {}

template <class T, class Tag>
SetterCacheManager<T, Tag>::~SetterCacheManager() {
  if (!this->active_) return;
  if (DriverSession* s = this->session()) {
    try {
      auto& entry = s->cache().template FindOrCreate<T>(this->id_, kEntryName);
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
}

template class GetterCacheManager<ViInt32>;
template class GetterCacheManager<ViReal64>;
template class GetterCacheManager<ViBoolean>;
template class GetterCacheManager<std::string>;
template class SetterCacheManager<ViInt32>;
template class SetterCacheManager<ViReal64>;
template class SetterCacheManager<ViBoolean>;

}  // namespace kel
