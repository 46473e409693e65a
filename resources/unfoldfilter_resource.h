// Resource and control identifiers of unfoldfilter.
#pragma once

#define IDD_GENERAL_PROP 101       // the property page's dialog
#define IDS_GENERAL_PROP_TITLE 103 // its title
#define IDR_EFFECT 104             // the compiled effect (RT_RCDATA)

// Mode icons (32 x 32); 106 to 108 are not on the page.
#define IDI_MODE_DOME 105
#define IDI_MODE_EQRECT 106
#define IDI_MODE_EQRECT2 107
#define IDI_MODE_ADJUST 108
#define IDI_MODE_GLOBAL 109
#define IDI_MODE_INVIEW 110
#define IDI_MODE_PANORAMA 111
#define IDI_MODE_QUAD 112
#define IDI_MODE_RING 113
#define IDI_MODE_SEG 114
#define IDI_MODE_THROWOUT 115

// Controls of the property page.
#define IDC_MODE_GLOBAL 1000
#define IDC_MODE_PANORAMA 1001
#define IDC_MODE_SEG 1003
#define IDC_MODE_QUAD 1005
#define IDC_MODE_RING 1006
#define IDC_MODE_DOME 1007
#define IDC_MODE_INVIEW 1008
#define IDC_MODE_THROWOUT 1009
#define IDC_MODE_EXTRACT 1010
#define IDC_HORIZONTAL 1011
#define IDC_RESET_HORIZONTAL 1012
#define IDC_VERTICAL 1013
#define IDC_RESET_VERTICAL 1014
#define IDC_ZOOM 1015
#define IDC_RESET_ZOOM 1016
#define IDC_VERSION 1017
