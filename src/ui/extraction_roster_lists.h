// The Extraction roster widgets the roster picker shows: the ship and deployment lists with their buttons, and the
// unit detail dialog with its revival.
#pragma once

#include <string>

#include "ui/button.h"
#include "ui/list.h"
#include "ui/modal.h"

extern List* shipRosterList;
extern List* deploymentRosterList;
extern Button* shipRosterListButton;
extern Button* deploymentRosterListButton;
extern Modal unit_detail_modal;
// The shipRoster row the dialog shows, -1 for none; any roster move closes the dialog and clears it.
extern int extractionSelectedUnit;

// Builds whichever of the four widgets is missing, placed for the window width at that moment.
void buildRosterWidgets();
void destroyRosterWidgets();
// Both lists' rows from shipRoster and activeDeploymentRoster.
void refreshRosterList();
// Opens the campaign of the file and shows it in the lists.
void openCampaignInRosterLists(const std::string& file);

void addSelectedUnitToDeployment();
void dismissSelectedUnit();
void openUnitDetails(int row, const std::string& text);
// Hides the dialog and forgets its row.
void closeUnitDetails();
void init_unit_detail_modal();
