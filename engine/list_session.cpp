#include "engine/list_session.h"

#include <algorithm>
#include <set>

#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "app/core/run_log.h"
#include "engine/command.h"
#include "engine/messages.h"
#include "engine/output_naming.h"
#include "engine/parts_join.h"
#include "engine/run_records.h"
#include "engine/transform.h"
#include "media/probe.h"
#include "platform/files.h"

namespace engine {
namespace {

using Clock = std::chrono::steady_clock;

// An estimate needs this much of a run behind it to mean anything.
constexpr std::chrono::seconds kEstimateAfter{3};

int Index(ConvertKind list) { return static_cast<int>(list); }

bool IsBusy(ItemState s) { return s == ItemState::Queued || s == ItemState::Converting; }

// Items that take the list's choice: neither waiting, converting nor done.
bool AtRest(ItemState s) { return !IsBusy(s) && s != ItemState::Done; }

SessionListener g_quietListener;

struct OneShot {
  int64_t bitRate = 0;
  float frameRate = 0.0f;
};

// Puts the join's messages into the session's inbox marked with the join's
// number: the queue's report of a failed part is WM_MERGE_FAILED too, and the
// last messages of a join that was stopped must not end the next one.
class JoinPoster : public NotifyTarget {
 public:
  JoinPoster(Inbox* inbox, intptr_t number) : inbox_(inbox), number_(number) {}
  void post(int msg, void* wParam, intptr_t) override { inbox_->post(msg, wParam, number_); }
  void send(int msg, void* wParam, intptr_t, const std::atomic<bool>* cancel) override {
    inbox_->send(msg, wParam, number_, cancel);
  }

 private:
  Inbox* const inbox_;
  const intptr_t number_;
};

}  // namespace

struct ListSession::Impl {
  // What the session keeps about an item beside the item itself.
  struct Track {
    bool infoSeen = false;  // its analysis was handled here: its media fields are ours to read
    bool running = false;   // its job has started
    Clock::time_point start;
    int percent = 0;
  };

  Impl(SessionListener* l, const EngineDirs& d, std::function<void()> wakeup)
      : listener(l ? l : &g_quietListener), dirs(d), inbox(std::move(wakeup)) {
    queue = std::make_unique<ConvertQueue>(&inbox, dirs);
    for (int k = 0; k < 4; ++k) choices[k] = DefaultChoice(static_cast<ConvertKind>(k));
  }

  SessionListener* const listener;
  const EngineDirs dirs;
  // Declared before the queue: the queue's workers post into it until they end.
  Inbox inbox;
  std::unique_ptr<ConvertQueue> queue;
  std::vector<ItemPtr> lists[4];
  ListChoice choices[4];
  std::map<const VideoItem*, Track> tracks;
  // The user's run: what its starts queued, how each ended, and whether the
  // join of the merge parts is still to come.
  struct Ended {
    ItemState state = ItemState::Stopped;
    std::string name;   // the source's, for the summary
    bool part = false;  // a merge part: no file of its own, the join counts for it
  };
  struct Run {
    bool open = false;
    std::set<const VideoItem*> waiting;
    std::map<const VideoItem*, Ended> ended;
    bool joinAwaited = false;
    RunSummary join;  // what the join added
  } run;
  // Items taken out of their lists whose cover may still be made.
  std::vector<ItemPtr> coversToDelete;
  std::string mergeFolder;
  // The running join and what it posts through; the join goes first.
  intptr_t joinNumber = 0;
  std::unique_ptr<JoinPoster> joinPoster;
  std::unique_ptr<MergeJoin> join;
  bool shutDown = false;

  std::vector<ItemPtr>& List(ConvertKind list) { return lists[Index(list)]; }

  ItemPtr Find(const VideoItem* item) const {
    if (!item) return nullptr;
    int k = Index(item->listKind);
    if (k < 0 || k > 3) return nullptr;
    for (const ItemPtr& p : lists[k])
      if (p.get() == item) return p;
    return nullptr;
  }

  // The analysis worker writes the media fields until the item is analysed;
  // before that the owner reads none of them.
  bool MediaKnown(const VideoItem& item) const {
    auto it = tracks.find(&item);
    return (it != tracks.end() && it->second.infoSeen) || item.analysed.load();
  }

  // The choice an item carries: its own once it was queued, else its list's.
  ListChoice ChoiceOf(const VideoItem& item) const {
    ListChoice c = choices[Index(item.listKind)];
    if (!AtRest(item.state.load())) {
      c.format = item.outputFormat;
      c.preset = item.sizePreset;
    }
    return c;
  }

  // The output values of the choice for the item, and their texts. Merge parts at the source
  // size all take the first part's size: the join needs one frame size.
  // True when something changed.
  bool ApplyOutputs(VideoItem& item, const ListChoice& c) {
    int width = 0, height = 0;
    double pixelAspect = 1.0;
    std::string sourceBitRate;
    if (MediaKnown(item)) {
      width = item.DisplayWidth();  // sizes follow the picture as shown
      height = item.DisplayHeight();
      pixelAspect = item.DisplayPixelAspect();
      sourceBitRate = item.audioBitRateText;
      // The command crops first: the size is made from what the crop keeps.
      if (CropRefusal(item).empty() && item.cropWidth > 0 && item.cropHeight > 0) {
        width = item.cropWidth;
        height = item.cropHeight;
      }
    }
    if (item.listKind == ConvertKind::Merge) {
      // A preset's frame as it stands, whatever a part's shape.
      const std::vector<ItemPtr>& parts = lists[Index(ConvertKind::Merge)];
      width = height = 0;
      if ((c.preset == media::SizePreset::Origin || c.preset == media::SizePreset::Parts) &&
          !parts.empty() && MediaKnown(*parts.front())) {
        width = parts.front()->DisplayWidth();
        height = parts.front()->DisplayHeight();
      }
    }
    const std::string ext = FormatExtension(c.format);
    const FrameSize size = OutputResolution(c.format, c.preset, width, height, pixelAspect);
    const int kbps = PresetAudioKbps(c.preset);
    const std::string resolution = SizeText(size);
    const std::string bitRate = AudioBitRateText(c.preset, sourceBitRate);
    bool changed = item.outputFormat != c.format || item.sizePreset != c.preset ||
                   item.outputWidth != size.width || item.outputHeight != size.height ||
                   item.outputAudioKbps != kbps || item.outputAudioBitRateText != bitRate;
    // A queued item's job may be naming its output on the worker thread while
    // its analysis arrives: its own format and preset stand, so only what
    // really changed is written.
    if (item.outputFormat != c.format) item.outputFormat = c.format;
    if (item.outputExtension != ext) item.outputExtension = ext;
    if (item.sizePreset != c.preset) item.sizePreset = c.preset;
    if (item.outputWidth != size.width) item.outputWidth = size.width;
    if (item.outputHeight != size.height) item.outputHeight = size.height;
    if (item.outputAudioKbps != kbps) item.outputAudioKbps = kbps;
    if (item.outputResolutionText != resolution) item.outputResolutionText = resolution;
    if (item.outputAudioBitRateText != bitRate) item.outputAudioBitRateText = bitRate;
    return changed;
  }

  // The list's choice for every item at rest; reports those that changed
  // (all of them when reportAll).
  void ApplyChoiceToResting(ConvertKind list, bool reportAll) {
    const std::vector<ItemPtr> items = List(list);  // a listener may change the list
    for (const ItemPtr& item : items) {
      if (!AtRest(item->state.load())) continue;
      bool changed = ApplyOutputs(*item, choices[Index(list)]);
      if (changed || reportAll) listener->OnItemChanged(*item);
    }
  }

  // After the merge list's order changed: parts at the source size follow the new first part.
  void FirstPartChanged() {
    if (choices[Index(ConvertKind::Merge)].preset == media::SizePreset::Origin)
      ApplyChoiceToResting(ConvertKind::Merge, false);
  }

  bool SetListChoice(ConvertKind list, const ListChoice& choice) {
    if (list == ConvertKind::Merge) {
      const std::vector<ItemPtr> parts = List(list);
      for (const ItemPtr& p : parts)
        if (IsBusy(p->state.load())) return false;
      // The parts are one output: a new choice makes them all again.
      for (const ItemPtr& p : parts) p->state = ItemState::Idle;
    }
    choices[Index(list)] = choice;
    ApplyChoiceToResting(list, list == ConvertKind::Merge);
    return true;
  }

  // Takes the item out of everything the session keeps about it.
  void Forget(const ItemPtr& item) {
    queue->Remove(item);
    // Once its analysis was reported the cover is final; else it may still come.
    if (MediaKnown(*item)) {
      if (!item->coverPath.empty()) platform::DeleteFile(item->coverPath);
    } else {
      coversToDelete.push_back(item);
    }
    tracks.erase(item.get());
    // Taken out before it ended: the user's own stop. A failure it had stays.
    if (run.waiting.erase(item.get()) > 0) run.ended[item.get()] = Ended{};
  }

  // Covers of removed items, once their analysis is surely over.
  void DeleteCovers(bool all) {
    auto done = [all](const ItemPtr& item) {
      if (!all && !item->analysed.load()) return false;
      if (!item->coverPath.empty()) platform::DeleteFile(item->coverPath);
      return true;
    };
    coversToDelete.erase(std::remove_if(coversToDelete.begin(), coversToDelete.end(), done),
                         coversToDelete.end());
  }

  std::string PrepareFolder(const std::string& folder) {
    if (folder.empty()) return {};
    std::string abs = platform::WithTrailingSlash(platform::AbsolutePath(folder));
    return platform::CreateFolders(abs) ? abs : std::string();
  }

  // The settings' one-shot rates for the next conversion of a picture; taken
  // from them unless only looked at.
  static OneShot NextOneShot(ConvertKind list, bool take) {
    OneShot rates;
    if (list == ConvertKind::Audio) return rates;
    app::AppSettings& settings = app::Settings();
    if (take) {
      settings.TakeOverrides(&rates.bitRate, &rates.frameRate);
    } else {
      rates.bitRate = settings.customBitRate.load();
      rates.frameRate = settings.customFrameRate.load();
    }
    return rates;
  }

  void Prepare(VideoItem& item, const std::string& folder, const OneShot& rates) {
    ApplyOutputs(item, choices[Index(item.listKind)]);
    item.outputDir = folder;
    item.customBitRate = rates.bitRate;
    item.customFrameRate = rates.frameRate;
  }

  void Enqueue(const ItemPtr& item, const std::string& folder, int runFirst, const OneShot& rates) {
    Prepare(*item, folder, rates);
    item->runFirst = runFirst;
    Track& t = tracks[item.get()];
    t.running = false;
    t.percent = 0;
    item->state = ItemState::Queued;
    queue->Enqueue(item);
    JoinRun(*item);
    listener->OnItemChanged(*item);
  }

  bool PartsAsTheyAre() const {
    return choices[Index(ConvertKind::Merge)].preset == media::SizePreset::Parts;
  }

  // The merge parts whose facts are known; *all: every part's are.
  std::vector<const VideoItem*> KnownParts(bool* all) const {
    std::vector<const VideoItem*> known;
    *all = true;
    for (const ItemPtr& p : lists[Index(ConvertKind::Merge)]) {
      if (MediaKnown(*p)) known.push_back(p.get());
      else *all = false;
    }
    return known;
  }

  // Parts that cannot be joined as they are put the merge list back on its
  // starting size, and the user is told why. "" when the choice stands.
  std::string CheckPartsChoice(bool requireAll) {
    if (!PartsAsTheyAre()) return {};
    bool all = false;
    const std::vector<const VideoItem*> known = KnownParts(&all);
    std::string why;
    if (requireAll && !all) why = "a part is still being read";
    else if (!known.empty()) why = PartsMismatch(known);
    if (why.empty()) return {};
    ListChoice sized = choices[Index(ConvertKind::Merge)];
    sized.preset = DefaultChoice(ConvertKind::Merge).preset;
    // Parts that wait or convert keep theirs; the rest take the size now.
    choices[Index(ConvertKind::Merge)] = sized;
    ApplyChoiceToResting(ConvertKind::Merge, false);
    app::RunLog("merge: the parts are converted: %s", why.c_str());
    listener->OnChoiceReset(ConvertKind::Merge, why);
    return why;
  }

  // The join of the parts as they are: each part is its own source, done
  // without a conversion, and the join follows at once.
  void TakePartsAsTheyAre(const std::string& folder) {
    mergeFolder = folder;
    for (const ItemPtr& p : List(ConvertKind::Merge)) {
      if (IsBusy(p->state.load()) || p->state.load() == ItemState::Done) continue;
      ApplyOutputs(*p, choices[Index(ConvertKind::Merge)]);
      p->outputPath = p->sourcePath;
      p->state = ItemState::Done;
      listener->OnItemDone(*p);
    }
    if (!AllPartsDone()) return;
    AwaitJoin();
    inbox.post(WM_MERGE_PART_DONE, nullptr, 0);
  }

  // --- the user's run --------------------------------------------------------

  void JoinRun(const VideoItem& item) {
    run.open = true;
    run.waiting.insert(&item);
    run.ended.erase(&item);  // converting it again replaces how it ended
  }

  // The merge parts are done: their join is the run's last piece.
  void AwaitJoin() {
    run.open = true;
    run.joinAwaited = true;
  }

  // Takes in what ended since the last look, and reports the run once
  // nothing of it is left.
  void SettleRun() {
    if (!run.open || shutDown) return;
    for (auto it = run.waiting.begin(); it != run.waiting.end();) {
      ItemPtr item = Find(*it);
      const ItemState s = item ? item->state.load() : ItemState::Stopped;
      if (IsBusy(s)) {
        ++it;
        continue;
      }
      if (item)
        run.ended[*it] = {s, item->title + "." + item->extension,
                          item->listKind == ConvertKind::Merge};
      else
        run.ended[*it] = Ended{};
      it = run.waiting.erase(it);
    }
    if (!run.waiting.empty() || run.joinAwaited) return;
    RunSummary summary = run.join;
    for (const auto& [raw, end] : run.ended) {
      if (end.state == ItemState::Failed) summary.failed.push_back(end.name);
      else if (end.state == ItemState::Stopped || end.state == ItemState::Idle) ++summary.stopped;
      else if (end.state == ItemState::Done && !end.part) ++summary.converted;
    }
    std::sort(summary.failed.begin(), summary.failed.end());
    run = Run{};
    listener->OnRunEnded(summary);
  }

  // A source the list cannot convert shows as failed, with why, as soon as
  // its analysis says so; a start leaves it (a merge part still fails its
  // merge, which needs every part).
  static void RefuseUnusableSource(VideoItem& item) {
    if (!AtRest(item.state.load())) return;
    const std::string why = SourceRefusal(item);
    if (why.empty()) return;
    item.failureReason = why;
    item.state = ItemState::Failed;
  }

  bool Skipped(const VideoItem& item) const {
    return item.listKind != ConvertKind::Merge && MediaKnown(item) && !SourceRefusal(item).empty();
  }

  bool AllPartsDone() const {
    const std::vector<ItemPtr>& parts = lists[Index(ConvertKind::Merge)];
    if (parts.size() < 2) return false;
    for (const ItemPtr& p : parts)
      if (p->state.load() != ItemState::Done) return false;
    return true;
  }

  // --- messages ------------------------------------------------------------

  void Handle(const InboxMessage& m) {
    auto* raw = static_cast<VideoItem*>(m.wParam);
    switch (m.msg) {
      case WM_ITEM_INFO_CHANGED: return OnInfo(raw);
      case WM_CONVERT_PROGRESS: return OnProgress(raw, static_cast<int>(m.lParam));
      case WM_CONVERT_START_FAILED: return OnFailed(raw, true);
      case WM_CONVERT_FAILED: return OnFailed(raw, false);
      case WM_MERGE_PROGRESS: return OnJoinProgress(m);
      case WM_MERGE_DONE: return OnJoinEnded(m.lParam);
      case WM_MERGE_FAILED: return m.lParam != 0 ? OnJoinEnded(m.lParam) : OnMergeFailed(true);
      case WM_MERGE_PARTS_RESET: return OnMergeFailed(false);
      case WM_MERGE_PART_DONE: return TryStartMerge();
      case WM_RUN_SETTLE: return SettleRun();
      default: return;
    }
  }

  void OnInfo(VideoItem* raw) {
    ItemPtr item = Find(raw);
    if (!item) return;  // its list was cleared while the message travelled
    // A cache job's new source is put in here, on the owner's thread.
    TakeSourceUpdate(*item);
    tracks[raw].infoSeen = true;
    ApplyOutputs(*item, ChoiceOf(*item));
    RefuseUnusableSource(*item);
    listener->OnItemInfo(*item);
    if (item->listKind == ConvertKind::Merge) CheckPartsChoice(false);
    if (item->listKind == ConvertKind::Merge && !lists[Index(ConvertKind::Merge)].empty() &&
        lists[Index(ConvertKind::Merge)].front() == item)
      FirstPartChanged();
  }

  void OnProgress(VideoItem* raw, int percent) {
    ItemPtr item = Find(raw);
    if (!item) return;
    std::shared_ptr<CUtilTransform> job = queue->JobOf(raw);
    if (!job) return;  // a late message of a job that ended
    if (percent > 100) percent %= 100;
    if (percent != 100) {
      Track& t = tracks[raw];
      if (!t.running) {
        t.running = true;
        t.start = Clock::now();
      }
      t.percent = percent;
      listener->OnProgress(*item, percent);
      return;
    }
    // Only the job that succeeded may finish the item, not an earlier job's late report.
    if (job->Verdict() != JobVerdict::Succeeded) return;
    const std::string path = job->OutputPath();
    if (item->state.load() == ItemState::Failed) {
      // The queue found the merge part's file missing or empty.
      item->failureReason = "the converted part is missing or empty: " + path;
      queue->DestroyJob(raw);
      tracks[raw].running = false;
      listener->OnItemFailed(*item, false);
      return;
    }
    if (item->outputPath != path) item->outputPath = path;
    item->state = ItemState::Done;
    queue->DestroyJob(raw);
    tracks[raw].running = false;
    listener->OnItemDone(*item);
    if (item->listKind != ConvertKind::Merge) return;
    if (run.waiting.count(raw) > 0 && AllPartsDone()) AwaitJoin();
    inbox.post(WM_MERGE_PART_DONE, nullptr, 0);
  }

  void OnFailed(VideoItem* raw, bool startFailed) {
    ItemPtr item = Find(raw);
    if (!item) return;
    std::shared_ptr<CUtilTransform> job = queue->JobOf(raw);
    // One report per job: the first destroys it, and a newer job has not failed.
    if (!job || job->Verdict() != JobVerdict::Failed) return;
    std::string why = job->FailureReason();
    if (why.empty())
      why = startFailed ? "the transcoder could not be started" : "the conversion failed";
    item->failureReason = why;
    item->state = ItemState::Failed;
    queue->DestroyJob(raw);
    tracks[raw].running = false;
    listener->OnItemFailed(*item, startFailed);
  }

  // The parts after a failed or stopped one went back to Idle; only a
  // failure is news for the user.
  void OnMergeFailed(bool partFailed) {
    const std::vector<ItemPtr> parts = List(ConvertKind::Merge);
    for (const ItemPtr& p : parts) {
      tracks[p.get()].running = false;
      listener->OnItemChanged(*p);
    }
    if (partFailed) listener->OnMergePartFailed();
  }

  void TryStartMerge() {
    if (join) return;  // its end settles the run
    if (!AllPartsDone()) {
      run.joinAwaited = false;  // a part went meanwhile: no join comes
      return;
    }
    MergeRequest request;
    if (PartsAsTheyAre()) {
      const ItemPtr& first = List(ConvertKind::Merge).front();
      request.soundTrack = first->audioCodec.empty() ? -1 : first->audioTrack;
      request.sourcesAsTheyAre = true;
    }
    for (const ItemPtr& p : List(ConvertKind::Merge)) {
      request.parts.push_back(p->outputPath);
      request.titles.push_back(p->title);
      request.outputFormat = p->outputFormat;
      request.outputExtension = p->outputExtension;
      request.totalSeconds += p->KeptSeconds();
      if (!platform::FileExists(p->outputPath))
        app::RunLog("merge: a finished part is missing: %s", p->outputPath.c_str());
    }
    request.outputFolder = platform::WithTrailingSlash(mergeFolder);
    std::string name = app::LangText(app::langkey::kMergeFileName, app::kSectionText);
    if (!name.empty() && name.find('/') == std::string::npos) request.mergeName = name;
    joinPoster = std::make_unique<JoinPoster>(&inbox, ++joinNumber);
    join = std::make_unique<MergeJoin>(request, joinPoster.get(), dirs);
    join->Start();
    app::RunLog("merge: joining %zu parts", request.parts.size());
    listener->OnMergeStarted(request);
  }

  void OnJoinProgress(const InboxMessage& m) {
    if (!join || m.lParam != joinNumber) return;
    listener->OnMergeProgress(static_cast<int>(reinterpret_cast<intptr_t>(m.wParam)));
  }

  void OnJoinEnded(intptr_t number) {
    if (join && number == joinNumber) EndJoin();
  }

  // Ends the join and reports how: its own outcome, whatever ended it, so a
  // join that finished just before a stop keeps its file.
  void EndJoin() {
    join->Stop();
    MergeOutcome outcome;
    if (join->Succeeded()) {
      outcome.end = MergeOutcome::End::Done;
      outcome.outputPath = join->OutputPath();
      app::RunLog("merge done: %s", outcome.outputPath.c_str());
    } else if (join->Verdict() == JobVerdict::Failed) {
      outcome.end = MergeOutcome::End::Failed;
      outcome.reason = join->FailureReason();
      if (outcome.reason.empty()) outcome.reason = "the join ended without a result";
    } else {
      app::RunLog("merge stopped");
    }
    join.reset();
    joinPoster.reset();
    listener->OnMergeEnded(outcome);
    if (!run.joinAwaited) return;
    run.joinAwaited = false;
    if (outcome.end == MergeOutcome::End::Done) ++run.join.converted;
    else if (outcome.end == MergeOutcome::End::Stopped) ++run.join.stopped;
    else run.join.failed.push_back(app::LangText(app::langkey::kMergeFileName, app::kSectionText));
    // A stop from the front end is a verb: the report waits for the next drain.
    inbox.post(WM_RUN_SETTLE, nullptr, 0);
  }

  // A job that started is the item's conversion start, for the estimates.
  void NoteStarts() {
    for (const auto& list : lists) {
      for (const ItemPtr& item : list) {
        if (item->state.load() != ItemState::Converting) continue;
        Track& t = tracks[item.get()];
        if (t.running || !queue->JobOf(item.get())) continue;
        t.running = true;
        t.start = Clock::now();
        t.percent = 0;
        listener->OnItemStarted(*item);
      }
    }
  }

  void AfterDrain() {
    if (shutDown) return;
    NoteStarts();
    DeleteCovers(false);
    SettleRun();
  }

  // --- estimates -----------------------------------------------------------

  const Track* Running(const VideoItem& item) const {
    auto it = tracks.find(&item);
    if (it == tracks.end() || !it->second.running) return nullptr;
    if (item.state.load() != ItemState::Converting) return nullptr;
    return &it->second;
  }

  // Wall seconds so far and the part done, once they say enough.
  bool Measure(const VideoItem& item, double* elapsed, int* percent) const {
    const Track* t = Running(item);
    if (!t || t->percent <= 0) return false;
    auto ran = Clock::now() - t->start;
    if (ran < kEstimateAfter) return false;
    *elapsed = std::chrono::duration<double>(ran).count();
    *percent = t->percent;
    return true;
  }

  int SecondsLeft(const VideoItem& item) const {
    double elapsed;
    int p;
    if (!Measure(item, &elapsed, &p)) return -1;
    return static_cast<int>(elapsed * (100 - p) / p + 0.5);
  }

  int ListSecondsLeft(ConvertKind list) const {
    double total = 0;
    bool any = false;
    double rate = -1;  // wall seconds per media second
    std::vector<const VideoItem*> waiting;
    for (const ItemPtr& item : lists[Index(list)]) {
      if (!IsBusy(item->state.load())) continue;
      any = true;
      if (!Running(*item)) {
        waiting.push_back(item.get());
        continue;
      }
      double elapsed;
      int p;
      if (!Measure(*item, &elapsed, &p) || !MediaKnown(*item)) return -1;
      const int kept = item->KeptSeconds();
      if (kept <= 0) return -1;
      total += elapsed * (100 - p) / p;
      rate = elapsed / (kept * p / 100.0);
    }
    if (!any) return 0;
    if (rate < 0) return -1;
    for (const VideoItem* item : waiting) {
      if (!MediaKnown(*item)) return -1;
      total += item->KeptSeconds() * rate;
    }
    return static_cast<int>(total + 0.5);
  }
};

ListSession::ListSession(SessionListener* listener, const EngineDirs& dirs,
                         std::function<void()> wakeup)
    : impl_(std::make_unique<Impl>(listener, dirs, std::move(wakeup))) {}

ListSession::~ListSession() { Shutdown(); }

void ListSession::SetMakeCovers(bool make) { impl_->queue->SetMakeCovers(make); }

void ListSession::Drain() {
  impl_->inbox.Drain([this](const InboxMessage& m) { impl_->Handle(m); });
  impl_->AfterDrain();
}

void ListSession::WaitAndDrain(int waitMs) {
  impl_->inbox.WaitAndDrain(waitMs, [this](const InboxMessage& m) { impl_->Handle(m); });
  impl_->AfterDrain();
}

void ListSession::Shutdown() {
  if (impl_->shutDown) return;
  impl_->shutDown = true;
  // Closed first: a worker waiting in a send is let go, and nothing is reported any more.
  impl_->inbox.Close();
  if (impl_->join) impl_->join->Stop();
  impl_->join.reset();
  impl_->joinPoster.reset();
  impl_->queue->Shutdown();
  // Both workers have ended: every removed item's cover is final now.
  impl_->DeleteCovers(true);
}

const std::vector<ItemPtr>& ListSession::Items(ConvertKind list) const {
  return impl_->lists[Index(list)];
}

ItemPtr ListSession::Find(const VideoItem* item) const { return impl_->Find(item); }

std::vector<ItemPtr> ListSession::AddFiles(ConvertKind list, const std::vector<std::string>& paths) {
  std::vector<ItemPtr> added;
  if (impl_->shutDown) return added;
  for (const std::string& path : paths) {
    auto item = std::make_shared<VideoItem>(path, list);
    if (!ListTakesFile(list, item->cacheKind)) continue;
    impl_->ApplyOutputs(*item, impl_->choices[Index(list)]);
    impl_->List(list).push_back(item);
    added.push_back(item);
  }
  if (!added.empty()) impl_->queue->AddForAnalysis(added);
  return added;
}

void ListSession::RemoveItem(const ItemPtr& item) {
  if (!item || !impl_->Find(item.get())) return;
  std::vector<ItemPtr>& list = impl_->List(item->listKind);
  const bool wasFirst = list.front() == item;
  impl_->Forget(item);
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
  impl_->DeleteCovers(false);
  impl_->inbox.post(WM_RUN_SETTLE, nullptr, 0);
  if (item->listKind == ConvertKind::Merge && wasFirst) impl_->FirstPartChanged();
}

void ListSession::ClearList(ConvertKind list) {
  std::vector<ItemPtr> items;
  items.swap(impl_->List(list));
  for (const ItemPtr& item : items) impl_->Forget(item);
  impl_->DeleteCovers(false);
  impl_->inbox.post(WM_RUN_SETTLE, nullptr, 0);
}

bool ListSession::MoveItem(const ItemPtr& item, int delta) {
  // The order is the join's: it stays while parts wait or convert.
  if (!item || !impl_->Find(item.get()) || Busy(item->listKind)) return false;
  std::vector<ItemPtr>& list = impl_->List(item->listKind);
  const long index = std::find(list.begin(), list.end(), item) - list.begin();
  const long to = index + delta;
  if (delta == 0 || to < 0 || to >= static_cast<long>(list.size())) return false;
  list.erase(list.begin() + index);
  list.insert(list.begin() + to, item);
  if (item->listKind == ConvertKind::Merge && (index == 0 || to == 0)) impl_->FirstPartChanged();
  return true;
}

bool ListSession::RenameItem(VideoItem& item, const std::string& name, std::string* error) {
  auto refuse = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (name.empty()) return refuse("the output name is empty");
  if (name == "." || name == "..") return refuse("\"" + name + "\" cannot be a file name");
  if (name.find('/') != std::string::npos)
    return refuse("the output name cannot hold \"/\": it would name another folder");
  if (name.find_first_of("\r\n") != std::string::npos)
    return refuse("the output name cannot hold a line break");
  if (IsBusy(item.state.load()))
    return refuse("the output name cannot change while the file waits or converts");
  item.outputName = name;
  return true;
}

bool ListSession::NameTaken(const VideoItem& item, const std::string& outputFolder) const {
  if (item.listKind == ConvertKind::Merge || !AtRest(item.state.load())) return false;
  const std::string file = item.outputName + "." + item.outputExtension;
  for (const ItemPtr& other : impl_->lists[Index(item.listKind)]) {
    if (other.get() == &item) break;
    if (other->state.load() != ItemState::Done &&
        other->outputName + "." + other->outputExtension == file)
      return true;
  }
  if (outputFolder.empty()) return false;
  return platform::FileExists(platform::WithTrailingSlash(platform::AbsolutePath(outputFolder)) + file);
}

ListChoice ListSession::Choice(ConvertKind list) const { return impl_->choices[Index(list)]; }

bool ListSession::SetClip(VideoItem& item, const ItemClip& clip, std::string* why) {
  std::string reason;
  ItemClip fitted = clip;
  if (IsBusy(item.state.load())) {
    reason = "the file waits or converts; its clip is set before it starts";
  } else if (!impl_->MediaKnown(item)) {
    reason = "the file's length and picture are not known yet";
  } else {
    reason = FitClip(item, &fitted);
  }
  if (!reason.empty()) {
    if (why) *why = reason;
    return false;
  }
  PutClip(item, fitted);
  if (impl_->ApplyOutputs(item, impl_->ChoiceOf(item))) impl_->listener->OnItemChanged(item);
  app::RunLog("clip %s: %d-%d s, crop %dx%d at %d,%d", item.itemId.c_str(), item.trimStart,
              item.trimEnd, item.cropWidth, item.cropHeight, item.cropX, item.cropY);
  if (item.listKind == ConvertKind::Merge) impl_->CheckPartsChoice(false);
  return true;
}

std::vector<media::OutputFormat> ListSession::PartsJoinFormats() const {
  bool all = false;
  const std::vector<const VideoItem*> known = impl_->KnownParts(&all);
  if (!all || known.size() < 2) return {};
  return engine::PartsJoinFormats(known);
}

bool ListSession::CanClip(const VideoItem& item) const {
  return !IsBusy(item.state.load()) && impl_->MediaKnown(item) && ClipRefusal(item).empty();
}

ChoiceResult ListSession::ApplyFormatChoice(ConvertKind list, const std::string& menuName) {
  MenuChoice menu = ReadMenuChoice(menuName);
  ListChoice choice = impl_->choices[Index(list)];
  // A token that the list does not offer changes nothing.
  if (menu.hasFormat && ListOffersFormat(list, menu.format)) choice.format = menu.format;
  if (menu.hasPreset && ListOffersPreset(list, choice.format, menu.preset))
    choice.preset = menu.preset;
  // A format without the list's present preset (FLAC after MP3 at 128 kbps)
  // takes the list's starting preset.
  if (!ListTakesPreset(list, choice.format, choice.preset))
    choice.preset = DefaultChoice(list).preset;
  return impl_->SetListChoice(list, choice) ? ChoiceResult::Applied : ChoiceResult::Refused;
}

bool ListSession::SetChoice(ConvertKind list, const ListChoice& choice) {
  if (!ListTakesPreset(list, choice.format, choice.preset)) return false;
  return impl_->SetListChoice(list, choice);
}

StartResult ListSession::StartList(ConvertKind list, const std::string& outputFolder) {
  if (impl_->shutDown) return StartResult::Nothing;
  const std::vector<ItemPtr> items = impl_->List(list);
  if (items.empty()) return StartResult::Nothing;
  if (list == ConvertKind::Merge && items.size() < 2) return StartResult::NeedTwoParts;
  const std::string folder = impl_->PrepareFolder(outputFolder);
  if (folder.empty()) return StartResult::FolderFailed;
  if (!platform::CanWriteIn(folder)) return StartResult::FolderReadOnly;
  if (list == ConvertKind::Merge) impl_->mergeFolder = folder;
  if (list == ConvertKind::Merge && impl_->CheckPartsChoice(true).empty() &&
      impl_->PartsAsTheyAre()) {
    if (impl_->join) return StartResult::Nothing;
    const bool again = impl_->AllPartsDone();
    impl_->TakePartsAsTheyAre(folder);
    return again ? StartResult::MergeAgain : StartResult::Started;
  }

  int queued = 0;
  for (const ItemPtr& item : items) {
    ItemState s = item->state.load();
    if (s != ItemState::Idle && s != ItemState::Stopped && s != ItemState::Failed) continue;
    if (impl_->Skipped(*item)) continue;
    // In list order: an earlier start on its own does not put it ahead now.
    impl_->Enqueue(item, folder, 0, queued == 0 ? Impl::NextOneShot(list, true) : OneShot());
    ++queued;
  }
  if (queued > 0) {
    impl_->queue->Wake();
    return StartResult::Started;
  }
  if (list == ConvertKind::Merge && impl_->AllPartsDone()) {
    // Nothing left to convert: the join runs again on the parts there are.
    impl_->AwaitJoin();
    impl_->inbox.post(WM_MERGE_PART_DONE, nullptr, 0);
    return StartResult::MergeAgain;
  }
  return StartResult::Nothing;
}

StartResult ListSession::RequeueItem(const ItemPtr& item, const std::string& outputFolder) {
  if (impl_->shutDown || !item || !impl_->Find(item.get())) return StartResult::Nothing;
  if (IsBusy(item->state.load()) || impl_->Skipped(*item)) return StartResult::Nothing;
  const std::string folder = impl_->PrepareFolder(outputFolder);
  if (folder.empty()) return StartResult::FolderFailed;
  if (!platform::CanWriteIn(folder)) return StartResult::FolderReadOnly;
  if (item->listKind == ConvertKind::Merge) impl_->mergeFolder = folder;
  if (item->listKind == ConvertKind::Merge && impl_->CheckPartsChoice(true).empty() &&
      impl_->PartsAsTheyAre()) {
    // A part as it is needs no conversion: its join may follow.
    if (!impl_->join) impl_->TakePartsAsTheyAre(folder);
    return StartResult::Started;
  }
  impl_->Enqueue(item, folder, 1, Impl::NextOneShot(item->listKind, true));
  impl_->queue->Wake();
  return StartResult::Started;
}

std::vector<PlannedCommand> ListSession::PlanCommands(ConvertKind list,
                                                      const std::string& outputFolder) {
  const std::string folder = platform::WithTrailingSlash(platform::AbsolutePath(outputFolder));
  std::vector<PlannedCommand> planned;
  for (const ItemPtr& item : impl_->List(list)) {
    const ItemState s = item->state.load();
    if (s != ItemState::Idle && s != ItemState::Stopped && s != ItemState::Failed) continue;
    impl_->Prepare(*item, folder, planned.empty() ? Impl::NextOneShot(list, false) : OneShot());
    PlannedCommand p;
    p.item = item;
    NamingResult naming = NameOutput(*item, impl_->dirs);
    if (!naming.ok) {
      p.error = naming.error;
    } else {
      const CommandInputs in =
          JobCommandInputs(*item, NewProgressFilePath(*item, impl_->dirs), naming.outputPath);
      p.line = BuildCommand(*item, in).Display();
    }
    planned.push_back(std::move(p));
  }
  return planned;
}

std::string ListSession::ProbeFile(const std::string& path, media::MediaInfo* info) {
  media::FillFromPath(path, *info);
  return media::ProbeMedia(path, *info).error;
}

void ListSession::StopItem(const ItemPtr& item) {
  if (!item || !impl_->Find(item.get()) || !IsBusy(item->state.load())) return;
  impl_->queue->Remove(item);
  impl_->tracks[item.get()].running = false;
  impl_->listener->OnItemChanged(*item);
  impl_->inbox.post(WM_RUN_SETTLE, nullptr, 0);
}

bool ListSession::Busy(ConvertKind list) const {
  for (const ItemPtr& item : impl_->lists[Index(list)])
    if (IsBusy(item->state.load())) return true;
  return false;
}

bool ListSession::Settled(ConvertKind list) const {
  for (const ItemPtr& item : impl_->lists[Index(list)])
    if (IsBusy(item->state.load()) || impl_->queue->JobOf(item.get())) return false;
  return true;
}

bool ListSession::RunOpen() const { return impl_->run.open; }

bool ListSession::MergeRunning() const { return impl_->join != nullptr; }

void ListSession::StopMerge() {
  if (impl_->join) impl_->EndJoin();
}

int ListSession::SecondsLeft(const VideoItem& item) const { return impl_->SecondsLeft(item); }

int ListSession::ListSecondsLeft(ConvertKind list) const { return impl_->ListSecondsLeft(list); }

const EngineDirs& ListSession::Dirs() const { return impl_->dirs; }

void ListSession::CleanUpEndedRuns(const EngineDirs& dirs) { RemoveLeftovers(dirs); }

void ListSession::CleanUpEndedRuns() { RemoveLeftovers(); }

ConvertQueue& ListSession::Queue() { return *impl_->queue; }

}  // namespace engine
