// A collection handed out by a query (stored objects, plus the ones added
// to it) or by the plugin manager (the desktop plugins). Changes made through
// a query collection's objects wait for InfoStore::commit of the collection;
// releasing the collection discards them.
//
// A query's collection is made over the answer's rows (query_answers.h) and
// makes the object at a position when it is first asked for it: a client
// that looks for one title among many reads most objects once, only for
// their title. When it goes away, the objects that nothing else holds and
// that still show their row are left to the answer for the next collection
// made from it, which takes each over when it is asked for its position.
//
// Thread-safety: one thread at a time, like the session.
// Ownership: holds its objects and shares the answer it was made from; the
// objects keep a plain back pointer that the destructor clears. A collection
// is known by its InfoObjects pointer (ours()) while it lives.
#ifndef KORVA_REPORTSERVER_COM_INFO_OBJECTS_H_
#define KORVA_REPORTSERVER_COM_INFO_OBJECTS_H_

#include <cstdint>
#include <vector>

#include "com/ref.h"
#include "reportserver/com/com_support.h"
#include "reportserver/com/info_object.h"
#include "reportserver/com/interface_stubs.h"
#include "reportserver/com/plugin_object.h"
#include "reportserver/com/session_context.h"
#include "reportserver/store/answer_rows.h"
#include "server/report_server.h"

namespace korva {

class InfoObjectsImpl : public ServerObject<InfoObjectsImpl, InfoObjectsStub> {
 public:
  // A query's answer: the rows there are now.
  InfoObjectsImpl(SessionContextPtr ctx, AnswerRowsPtr rows);
  // The Desktop plugin list.
  InfoObjectsImpl(SessionContextPtr ctx, const std::vector<PluginInfo>& plugins);

  // The collection behind an InfoObjects pointer a client hands back, or
  // null when it is not one of this server's collections.
  static InfoObjectsImpl* ours(InfoObjects* objects);

  HRESULT STDMETHODCALLTYPE count(LONG* out) override;
  // An InfoObject from a query, a DesktopPlugin from the plugin list.
  HRESULT STDMETHODCALLTYPE item(VARIANT position, IDispatch** out) override;
  HRESULT STDMETHODCALLTYPE add(DesktopPlugin* plugin, InfoObject** out) override;
  HRESULT STDMETHODCALLTYPE remove(VARIANT object) override;

  bool isPluginList() const { return pluginList_; }
  SessionContext* context() const { return ctx_.get(); }
  // The objects at the answer's positions (empty, or left by an earlier
  // collection, until asked for: either way without changes), then the ones
  // added.
  const std::vector<Ref<ObjectImpl>>& objects() const { return objects_; }
  // After a successful commit: objects removed for good leave the collection.
  void dropRemoved();

  // The id sequence's next value just before a query read the collection's
  // objects: an object with this id or a higher one was stored after the
  // read. kNoReadMark for a collection that no query read.
  static constexpr int64_t kNoReadMark = INT64_MAX;
  int64_t readMark() const { return readMark_; }
  void setReadMark(int64_t mark) { readMark_ = mark; }

 private:
  ~InfoObjectsImpl() override;
  friend class RefCountedObject<InfoObjectsImpl>;

  // The object at the 0-based position, made from its row when first asked.
  ObjectImpl* objectAt(size_t at);

  SessionContextPtr ctx_;
  bool pluginList_;
  AnswerRowsPtr rows_;  // objects_[i] comes from rows_->heads[i] for i < rowCount_
  size_t rowCount_ = 0;
  std::vector<Ref<ObjectImpl>> objects_;
  std::vector<Ref<PluginObjectImpl>> plugins_;
  int64_t readMark_ = kNoReadMark;
  OwnObjects<InfoObjectsImpl>::Entry own_{static_cast<InfoObjects*>(this), this};
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_INFO_OBJECTS_H_
