// Resource and control identifiers of unfoldcam.
#pragma once

// Mode icons (32 x 32); 104 is not on the page.
#define IDI_CAM_DOME 101
#define IDI_CAM_EXTRACT 102
#define IDI_CAM_FRONT 103
#define IDI_CAM_EQRECT 104
#define IDI_CAM_GLOBAL 105
#define IDI_CAM_INDOME 106
#define IDI_CAM_PANORAMA 107
#define IDI_CAM_QUAD 108
#define IDI_CAM_RING 109
#define IDI_CAM_SEG 110
#define IDI_CAM_THROWOUT 111

#define IDD_SRC_PROP 102 // the property page's dialog

// Controls of the property page.
#define IDC_CAM_RESET_HORIZONTAL 1001
#define IDC_CAM_RESET_VERTICAL 1002
#define IDC_CAM_RESET_ZOOM 1003
#define IDC_CAM_RESOLUTION 1004
#define IDC_CAM_DOME 1005
#define IDC_CAM_EXTRACT 1006
#define IDC_CAM_FRONT 1007
#define IDC_CAM_GLOBAL 1008
#define IDC_CAM_INDOME 1009
#define IDC_CAM_PANORAMA 1010
#define IDC_CAM_QUAD 1011
#define IDC_CAM_RING 1012
#define IDC_CAM_SEG 1013
#define IDC_CAM_THROWOUT 1014
#define IDC_CAM_DOWN 1015
#define IDC_CAM_UP 1016
#define IDC_CAM_HORIZONTAL 1017
#define IDC_CAM_VERTICAL 1018
#define IDC_CAM_ZOOM 1019
#define IDC_CAM_VERSION 1020
