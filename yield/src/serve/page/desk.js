// The repair desk's form on a board page: records a disposition with the desk's secret in a
// header. The secret is asked once and kept in this browser's local storage; a refused one is
// forgotten.
'use strict';

(function () {
  const form = document.getElementById('desk');
  if (!form) return;
  const result = document.getElementById('desk-result');
  const secretField = form.elements.namedItem('secret');
  const storageKey = form.dataset.key;

  function storedSecret() {
    try {
      return window.localStorage.getItem(storageKey) || '';
    } catch {
      return '';
    }
  }

  function keepSecret(secret) {
    try {
      if (secret) window.localStorage.setItem(storageKey, secret);
      else window.localStorage.removeItem(storageKey);
    } catch {
      // A browser without storage asks again next time.
    }
  }

  if (storedSecret()) secretField.placeholder = 'kept in this browser';

  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const secret = secretField.value || storedSecret();
    const body = new URLSearchParams({
      chip_id: form.dataset.chip,
      status: form.elements.namedItem('status').value,
      by: form.elements.namedItem('by').value,
      note: form.elements.namedItem('note').value,
    });
    result.textContent = 'recording...';
    try {
      const answer = await fetch(form.dataset.action, {
        method: 'POST',
        headers: {[form.dataset.header]: secret},
        body,
      });
      const text = await answer.text();
      if (answer.status === 403) keepSecret('');
      else if (answer.ok) keepSecret(secret);
      secretField.value = '';
      result.textContent = (answer.ok ? 'recorded: ' : 'refused: ') + text.trim();
      if (answer.ok) window.setTimeout(() => window.location.reload(), 800);
    } catch (e) {
      result.textContent = 'not sent: ' + e.message;
    }
  });
})();
