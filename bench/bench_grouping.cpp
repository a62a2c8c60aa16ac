// The Grouping and Similarity tabs on a generated tree of 200,000
// realistic download names (title words in several scripts, an 11-character
// identifier, a container), in one run:
// - the longest and median GUI frame while the tree is walked and grouped;
// - the time to the last group against the walk plus a plain unordered-map
//   index of the same names built in one go;
// - the frame once grouped at 1,000, 10,000 and 200,000 files;
// - choosing a root again at 200,000 files: the GUI thread's part of
//   dropping the old groups, against freeing them on the spot.
#include <fcntl.h>
#include <imgui.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/tabs.h"
#include "bench_util.h"
#include "kit/background_release.h"
#include "host_frame.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSmall = 1000, kMedium = 10000, kAll = 200000;

// Title words: Latin, accented, Cyrillic, Greek, Japanese, Arabic.
const char* const kWords[] = {
    "holiday", "Beach", "cat", "dog", "funny", "Live", "concert", "2023", "remix", "official", "video", "trailer",
    "café", "niño", "über", "straße", "привет", "музыка", "Москва", "Ελλάδα", "μουσική", "東京", "音楽", "ライブ",
    "مرحبا", "موسيقى", "tutorial", "cooking", "recipe", "travel", "vlog", "part", "episode", "season", "full", "HD",
    "4K", "lyrics", "acoustic", "cover", "piano", "guitar", "news", "review", "unboxing", "game", "play", "walk"};
const char* const kContainers[] = {".mp4", ".mkv", ".webm", ".m4a", ".mp3", ".jpg"};
const char kIdChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string RandomId(std::mt19937& random) {
  std::string id;
  for (int i = 0; i < 11; ++i) id += kIdChars[random() % (sizeof kIdChars - 1)];
  return id;
}

// root/small (1,000 files), root/medium (10,000) and root/large (the rest),
// 100 files a folder; about one name in twenty is a second download of an
// earlier one, in another container and bracket style.
void MakeTree(const fs::path& root) {
  if (fs::exists(root / ".complete")) return;
  fs::remove_all(root);
  std::mt19937 random(11);
  std::vector<std::string> ids;
  int made = 0;
  const auto makePart = [&](const char* part, int count) {
    for (int i = 0; i < count; ++i, ++made) {
      const fs::path folder = root / part / ("Channel " + std::to_string(made / 100));
      if (i % 100 == 0) fs::create_directories(folder);
      std::string title;
      const int words = 2 + static_cast<int>(random() % 6);
      for (int w = 0; w < words; ++w) title += std::string(w ? " " : "") + kWords[random() % std::size(kWords)];
      std::string id = RandomId(random);
      if (!ids.empty() && random() % 20 == 0) id = ids[random() % ids.size()];
      ids.push_back(id);
      const std::string name = random() % 2 ? title + " [" + id + "]" : title + " - " + id;
      const std::string file = (folder / (name + kContainers[random() % std::size(kContainers)])).string();
      const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) ::close(fd);
    }
  };
  makePart("small", kSmall);
  makePart("medium", kMedium);
  makePart("large", kAll - kSmall - kMedium);
  const int fd = ::open((root / ".complete").c_str(), O_WRONLY | O_CREAT, 0644);
  if (fd >= 0) ::close(fd);
}

void Frame(View& tab) {
  BeginHostFrame("##Main", 1280);
  tab.Draw();
  EndHostFrame();
}

double Milliseconds(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct WalkFigures {
  double longest = 0, median = 0, total = 0;
};

// Picks root on the tab as the user does and draws frames (about 60 a
// second) until everything is walked and grouped.
template <typename Done>
WalkFigures WalkAndGroup(Base& tab, const fs::path& root, Done done) {
  tab.Reset();
  tab.SetRoot(root.string());
  const auto start = Clock::now();
  tab.scanner.Start(root.string(), false);
  std::vector<double> frames;
  while (!done()) {
    const auto frameStart = Clock::now();
    Frame(tab);
    frames.push_back(Milliseconds(frameStart));
    const auto next = frameStart + std::chrono::microseconds(16667);
    if (Clock::now() < next) std::this_thread::sleep_until(next);
  }
  WalkFigures figures;
  figures.total = Milliseconds(start);
  figures.longest = *std::max_element(frames.begin(), frames.end());
  figures.median = Median(frames);
  return figures;
}

// The reference: the same walk, then every name indexed in one go into a
// plain unordered map of tags.
double PlainIndexMilliseconds(const fs::path& root) {
  const auto start = Clock::now();
  FolderScanner scanner(true, true);
  std::vector<std::string> folders, files;
  std::vector<uint64_t> sizes;
  scanner.Start(root.string(), false);
  while (scanner.scanning) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    scanner.Collect(folders, files, &sizes);
  }
  scanner.Collect(folders, files, &sizes);
  std::unordered_map<std::string, std::vector<size_t>> index;
  std::string lowered;
  std::vector<std::string_view> tags;
  for (size_t i = 0; i < files.size(); ++i) {
    TagsOfName(files[i].substr(files[i].rfind('/') + 1), lowered, tags);
    for (std::string_view tag : tags) index[std::string(tag)].push_back(i);
  }
  return Milliseconds(start);
}

double GroupedFrameMilliseconds(View& tab) {
  for (int i = 0; i < 5; ++i) Frame(tab);
  return 1000 * MedianSeconds(41, [&] { Frame(tab); });
}

}  // namespace

int main() {
  ScopedConfigFolder config;
  if (!config.Ok()) return 1;
  const fs::path root = "/tmp/sortiq-bench-names";
  MakeTree(root);
  StartHeadlessGui();

  const double plain = PlainIndexMilliseconds(root);
  const WalkFigures grouping = WalkAndGroup(GroupingTab, root, [] {
    return !GroupingTab.scanner.scanning && GroupingTab.model.Files() == kAll && GroupingTab.model.Queued() == 0;
  });
  std::printf("grouping  200,000 files while walking: longest frame %.1f ms, median %.2f ms (target <= 33 ms)\n",
              grouping.longest, grouping.median);
  std::printf("grouping  to the last group: %.0f ms (walk + plain unordered-map index in one go %.0f ms, ratio %.2f)\n",
              grouping.total, plain, grouping.total / plain);
  size_t files = 0;
  const WalkFigures similarity = WalkAndGroup(SimilarityTab, root, [&files] {
    size_t seen = 0;
    for (const auto* group : SimilarityTab.model.Candidates()) seen += group->size();
    files = seen;
    return !SimilarityTab.scanner.scanning && SimilarityTab.scanner.fileQueue.Size() == 0 &&
           SimilarityTab.model.Queued() == 0;
  });
  std::printf("similarity 200,000 files while walking: longest frame %.1f ms, median %.2f ms (target <= 33 ms); "
              "%zu files in %zu duplicate groups; to the last group %.0f ms\n",
              similarity.longest, similarity.median, files, SimilarityTab.model.Candidates().size(), similarity.total);

  // A root chosen again: the old groups freed on the spot (no release
  // worker), then handed to the release worker, after the same walk.
  for (Base* tab : std::initializer_list<Base*>{&GroupingTab, &SimilarityTab}) {
    const auto grouped = [tab] {
      if (tab == &GroupingTab) return !tab->scanner.scanning && GroupingTab.model.Queued() == 0 && GroupingTab.model.Files() == kAll;
      return !tab->scanner.scanning && tab->scanner.fileQueue.Size() == 0 && SimilarityTab.model.Queued() == 0;
    };
    double reset[2] = {};
    for (int worker = 0; worker < 2; ++worker) {
      if (worker == 1) BackgroundRelease::Start();
      if (!(tab == &GroupingTab ? GroupingTab.model.Files() == kAll : !SimilarityTab.model.Empty()))
        WalkAndGroup(*tab, root, grouped);
      tab->scanner.Join();
      const auto start = Clock::now();
      tab->Reset();
      reset[worker] = Milliseconds(start);
      if (worker == 1) BackgroundRelease::Stop();
    }
    std::printf("%s choosing the root again at 200,000 files: %.1f ms on the GUI thread, freeing on the spot %.1f ms "
                "(ratio %.2f)\n", tab == &GroupingTab ? "grouping  " : "similarity", reset[1], reset[0], reset[0] / reset[1]);
  }

  for (Base* tab : std::initializer_list<Base*>{&GroupingTab, &SimilarityTab}) {
    double base = 0;
    for (const auto& [part, count] : {std::pair<const char*, int>{"small", kSmall}, {"medium", kMedium}, {"", kAll}}) {
      const fs::path where = *part ? root / part : root;
      WalkAndGroup(*tab, where, [&] {
        if (tab == &GroupingTab) return !tab->scanner.scanning && GroupingTab.model.Queued() == 0 &&
                                        GroupingTab.model.Files() == static_cast<size_t>(count);
        return !tab->scanner.scanning && tab->scanner.fileQueue.Size() == 0 && SimilarityTab.model.Queued() == 0;
      });
      const double frame = GroupedFrameMilliseconds(*tab);
      if (base == 0) base = frame;
      std::printf("%s grouped, %6d files: %.3f ms a frame, %.2f x the 1,000-file frame (target <= 2)\n",
                  tab == &GroupingTab ? "grouping  " : "similarity", count, frame, frame / base);
    }
    tab->scanner.Join();
    tab->Reset();
  }
  ImGui::DestroyContext();
  return 0;
}
