"""Probe."""


def run(step, log):
    step('Öffnen', 'ctrl+o')
    step('Name', 'shift+Tab')
    step('tippen', 'M o n t a g')
    step('OK', 'Tab Tab space')
    step('Tab', 'Tab')
    step('Tab', 'Tab')
    step('Tab', 'Tab')
    step('runter', 'Down')
    step('runter', 'Down')
    step('runter', 'Down')
    step('Platz', 'space')
    step('Entf', 'Delete')
    step('undo', 'ctrl+z')
    step('rechts', 'Right')
    step('rechts', 'Right')
    step('whereami', 'KP_Enter')
