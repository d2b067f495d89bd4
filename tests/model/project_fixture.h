// A small project fixture for the project model tests: processes, tracks and helpers.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/clip.h"
#include "model/project.h"
#include "model/project_hooks.h"
#include "model/pseudo_track.h"
#include "model/track.h"

namespace lumetra::project::testing {

using SpanList = std::vector<std::pair<float, float>>;

class ProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    effect_.name = "Test/Effect";
    effect_.signature = "Effect 1.0 test";
    effect_.inputs_number = 2;
    effect_.previous_track_input = 0;
    project_ = ProjectCreate();
    ProjectSetDefaults(project_);
  }
  void TearDown() override {
    Hooks() = ProjectHooks{};
    while (ProjectListHead() != nullptr) ProjectFree(ProjectListHead());
    EXPECT_EQ(CurrentProject(), nullptr);
  }

  Track* AddTrack(Project* p = nullptr) {
    if (p == nullptr) p = project_;
    Track* t = TrackCreate(p);
    EXPECT_TRUE(TrackAppend(p, t));
    return t;
  }
  Clip* AddClip(Track* t, float start, float end, ProcessRecord* process = nullptr) {
    return ClipCreate(nullptr, process != nullptr ? process : &effect_, start, end, t);
  }
  static SpanList SpansOf(const Track* t) {
    std::vector<std::pair<float, float>> out;
    for (const Clip* c = t->first_clip; c != nullptr; c = c->next)
      out.emplace_back(c->start, c->end);
    return out;
  }
  static std::vector<int> Numbers(Track* list) {
    std::vector<int> out;
    for (Track* t = list; t != nullptr; t = t->next) out.push_back(t->number);
    return out;
  }

  ProcessRecord effect_;
  Project* project_ = nullptr;
};

}  // namespace lumetra::project::testing
