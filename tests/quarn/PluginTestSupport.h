// A quiet, fresh host for each test, and helpers to run the entry points.
#pragma once

#include <gtest/gtest.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <mayastandin/Host.h>

#include <string>
#include <vector>

#include "TestModules.h"
#include "kor/CoreServices/Interfaces/ICoreServices.h"

MStatus initializePlugin(MObject object);
MStatus uninitializePlugin(MObject object);

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mayastandin::reset();
    mayastandin::setEchoToStderr(false);
    TestModules().clear();
    m_accessorBefore = kor::GetCoreServicesAccessor();
    m_plugin = mayastandin::createPluginObject("Plugin_Test");
  }
  void TearDown() override {
    if (kor::GetCoreServicesAccessor() != m_accessorBefore) uninitializePlugin(m_plugin);
    kor::SetCoreServicesAccessor(m_accessorBefore);
    mayastandin::reset();
    mayastandin::setEchoToStderr(true);
  }

  MStatus Initialize() { return mayastandin::runInitialize(&initializePlugin, m_plugin); }

  // The texts the host displayed, as the host shows them, one per call.
  static std::vector<std::string> Shown() {
    std::vector<std::string> shown;
    for (const mayastandin::Message& message : mayastandin::takeMessages())
      shown.push_back(mayastandin::formatMessage(message));
    return shown;
  }
  static std::string AllText() {
    std::string text;
    for (const mayastandin::Message& message : mayastandin::takeMessages()) text += message.text;
    return text;
  }

  MObject m_plugin;
  kor::CoreServicesAccessor m_accessorBefore = nullptr;
};
